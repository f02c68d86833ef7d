#include "string/convert.h"

#include <windows.h>

namespace string {

bool to_code_page(unsigned code_page, const weak_string<wchar_t>& text, super_string<char>& out) {
    out.clear();
    int length = text.length();
    if (length == 0) {
        return true;
    }
    const wchar_t* chars = text.c_str();
    int size = WideCharToMultiByte(code_page, 0, chars, length, nullptr, 0, nullptr, nullptr);
    if (size == 0) {
        return false;
    }
    char* buffer = out.write_buffer(size);
    int written = WideCharToMultiByte(code_page, 0, chars, length, buffer, size, nullptr, nullptr);
    if (written == 0) {
        return false;
    }
    out.resize(written);
    return true;
}

bool to_utf8(const weak_string<wchar_t>& text, super_string<char>& out) {
    return to_code_page(CP_UTF8, text, out);
}

bool to_ansi(const weak_string<wchar_t>& text, super_string<char>& out) {
    return to_code_page(CP_ACP, text, out);
}

bool from_utf8(const weak_string<char>& text, super_string<wchar_t>& out) {
    return from_code_page(CP_UTF8, text, out);
}

bool from_code_page(unsigned code_page, const weak_string<char>& text, super_string<wchar_t>& out) {
    out.clear();
    int length = text.length();
    if (length == 0) {
        return true;
    }
    const char* chars = text.c_str();
    int size = MultiByteToWideChar(code_page, 0, chars, length, nullptr, 0);
    if (size == 0) {
        return false;
    }
    wchar_t* buffer = out.write_buffer(size);
    int written = MultiByteToWideChar(code_page, 0, chars, length, buffer, size);
    if (written == 0) {
        return false;
    }
    out.resize(written);
    return true;
}

} // namespace string
