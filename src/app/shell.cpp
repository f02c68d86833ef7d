#include "app/shell.h"

#include <string>

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "string/convert.h"

namespace app {

bool shell_open(const char* url) {
    std::wstring address;
    // An address that is no UTF-8 would open something else than was meant.
    if (url == nullptr || !string::from_utf8_strict(url, address) || address.empty()) {
        return false;
    }
    // Above 32 is success; the rest are error codes.
    const HINSTANCE done = ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<INT_PTR>(done) > 32;
}

} // namespace app
