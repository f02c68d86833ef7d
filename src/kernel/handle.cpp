#include "kernel/handle.h"

#include <windows.h>

namespace kernel {

bool CHandle::is_valid(void* handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

bool CHandle::reset(void* handle) {
    bool closed = true;
    if (is_valid() && handle != handle_) {
        closed = CloseHandle(handle_) != FALSE;
    }
    handle_ = handle;
    return closed;
}

void* CHandle::release() {
    void* handle = handle_;
    handle_ = nullptr;
    return handle;
}

} // namespace kernel
