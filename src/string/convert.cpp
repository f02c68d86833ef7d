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

std::string to_utf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &out[0], size, nullptr, nullptr);
    }
    return out;
}

namespace {

bool decode(unsigned code_page, DWORD flags, const std::string& text, std::wstring& out) {
    out.clear();
    if (text.empty()) {
        return true;
    }
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(code_page, flags, text.data(), length, nullptr, 0);
    if (size <= 0) {
        return false;
    }
    out.resize(static_cast<size_t>(size));
    MultiByteToWideChar(code_page, flags, text.data(), length, &out[0], size);
    return true;
}

template <class C> std::basic_string<C> trimmed_of(const std::basic_string<C>& text) {
    const auto blank = [](C c) { return c == C(' ') || (c >= C('\t') && c <= C('\r')); };
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && blank(text[begin])) {
        ++begin;
    }
    while (end > begin && blank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

} // namespace

std::wstring from_utf8(const std::string& text) {
    return from_code_page(CP_UTF8, text);
}

std::wstring from_code_page(unsigned code_page, const std::string& text) {
    std::wstring out;
    decode(code_page, 0, text, out);
    return out;
}

bool from_utf8_strict(const std::string& text, std::wstring& out) {
    return decode(CP_UTF8, MB_ERR_INVALID_CHARS, text, out);
}

std::string trimmed(const std::string& text) {
    return trimmed_of(text);
}

std::wstring trimmed(const std::wstring& text) {
    return trimmed_of(text);
}

narrow_string url_escape(const weak_string<char>& text) {
    static const char hex[] = "0123456789ABCDEF";
    narrow_string out;
    const char* bytes = text.c_str();
    for (std::int32_t i = 0; i < text.length(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            out.push_back(static_cast<char>(c));
        } else {
            const char code[3] = {'%', hex[c >> 4], hex[c & 0xF]};
            out.append(3, code);
        }
    }
    return out;
}

} // namespace string
