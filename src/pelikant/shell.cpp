#include "pelikant/shell.h"

#include <string>

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

namespace pelikant {

void shell_open(const char* url) {
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, url, -1, nullptr, 0);
    if (units <= 0) {
        return;
    }
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, url, -1, &wide[0], units);
    ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOW);
}

} // namespace pelikant
