#include "pelikant/shell.h"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

namespace pelikant {

void shell_open(const char* url) {
    ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOW);
}

} // namespace pelikant
