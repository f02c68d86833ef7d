#include "app/autostart.h"

#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "app/instance.h"
#include "kernel/owner.h"

namespace app {

namespace {

const wchar_t RUN_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Task Manager's and Settings' switch for a Run value: a binary value of the same name, whose
// first byte is odd while the user has turned the autostart off. No value means on.
const wchar_t APPROVED_KEY[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const wchar_t VALUE[] = L"Pelikant";

bool close_key(HKEY key) {
    return RegCloseKey(key) == ERROR_SUCCESS;
}
using CKey = kernel::COwner<HKEY, &close_key>;

CKey user_key(const wchar_t* name, REGSAM access) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, name, 0, nullptr, 0, access, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return CKey();
    }
    return CKey(key);
}

std::wstring this_program() {
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
    return path;
}

// The bytes of the user's value "Pelikant" under key, as RegGetValueW gives them with flags; false
// when there is none.
bool read_value(const wchar_t* key, DWORD flags, std::vector<BYTE>& data) {
    LSTATUS read = ERROR_MORE_DATA;
    // A value that grows between the two calls is asked for again.
    for (int tries = 0; read == ERROR_MORE_DATA && tries < 3; ++tries) {
        DWORD bytes = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, key, VALUE, flags, nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
            return false;
        }
        data.resize(bytes + sizeof(wchar_t)); // never empty
        bytes = static_cast<DWORD>(data.size());
        read = RegGetValueW(HKEY_CURRENT_USER, key, VALUE, flags, nullptr, data.data(), &bytes);
        data.resize(bytes);
    }
    return read == ERROR_SUCCESS;
}

// The Run value, its environment variables expanded; empty when there is none.
std::wstring run_command() {
    std::vector<BYTE> data;
    if (!read_value(RUN_KEY, RRF_RT_REG_SZ, data)) {
        return std::wstring();
    }
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) {
        memcpy(&text[0], data.data(), text.size() * sizeof(wchar_t));
    }
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

// Whether command starts program: its path in quotes, or bare and followed by the end or a space
// before the arguments. Windows compares paths without regard to case.
bool starts(const std::wstring& command, const std::wstring& program) {
    const size_t from = !command.empty() && command[0] == L'"' ? 1 : 0;
    if (program.empty() || command.size() < from + program.size() ||
        CompareStringOrdinal(command.c_str() + from, static_cast<int>(program.size()), program.c_str(),
                             static_cast<int>(program.size()), TRUE) != CSTR_EQUAL) {
        return false;
    }
    const wchar_t after = from + program.size() < command.size() ? command[from + program.size()] : L'\0';
    return from == 1 ? after == L'"' : after == L'\0' || after == L' ' || after == L'\t';
}

// Whether the user has left the autostart on in Task Manager and Settings. Windows writes 12
// bytes; whatever the length, the first byte is the switch, and an empty value says nothing.
bool approved() {
    std::vector<BYTE> data;
    return !read_value(APPROVED_KEY, RRF_RT_ANY, data) || data.empty() || (data[0] & 1) == 0;
}

} // namespace

bool starts_with_windows() {
    return starts(run_command(), this_program()) && approved();
}

bool set_start_with_windows(bool on) {
    const CKey key = user_key(RUN_KEY, KEY_SET_VALUE);
    if (!key.is_valid()) {
        return false;
    }
    if (!on) {
        const LSTATUS deleted = RegDeleteValueW(key.get(), VALUE);
        return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
    }
    const std::wstring program = this_program();
    if (program.empty()) {
        return false;
    }
    const std::wstring text = L"\"" + program + L"\" " + TRAY_ARGUMENT;
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(key.get(), VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes) !=
        ERROR_SUCCESS) {
        return false;
    }
    // Turned on here, so on in Task Manager too: without its switch the value reads as on.
    const LSTATUS cleared = RegDeleteKeyValueW(HKEY_CURRENT_USER, APPROVED_KEY, VALUE);
    return cleared == ERROR_SUCCESS || cleared == ERROR_FILE_NOT_FOUND;
}

} // namespace app
