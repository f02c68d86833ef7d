#include "kernel/owner.h"

#include <windows.h>

namespace kernel {

bool close_handle(void* handle) {
    return CloseHandle(handle) != FALSE;
}

bool valid_handle(void* handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

} // namespace kernel
