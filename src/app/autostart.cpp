#include "app/autostart.h"

#include <string>

#include <windows.h>

#include "app/instance.h"
#include "kernel/owner.h"

namespace app {

namespace {

const wchar_t RUN_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t VALUE[] = L"Pelikant";

bool close_key(HKEY key) {
    return RegCloseKey(key) == ERROR_SUCCESS;
}
using CKey = kernel::COwner<HKEY, &close_key>;

CKey run_key(REGSAM access) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, RUN_KEY, 0, nullptr, 0, access, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return CKey();
    }
    return CKey(key);
}

// "<this program>" /tray
std::wstring command() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return L"\"" + path + L"\" " + TRAY_ARGUMENT;
}

} // namespace

bool starts_with_windows() {
    const CKey key = run_key(KEY_QUERY_VALUE);
    return key.is_valid() &&
           RegQueryValueExW(key.get(), VALUE, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool set_start_with_windows(bool on) {
    const CKey key = run_key(KEY_SET_VALUE);
    if (!key.is_valid()) {
        return false;
    }
    if (!on) {
        const LSTATUS deleted = RegDeleteValueW(key.get(), VALUE);
        return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
    }
    const std::wstring text = command();
    if (text.empty()) {
        return false;
    }
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes) ==
           ERROR_SUCCESS;
}

} // namespace app
