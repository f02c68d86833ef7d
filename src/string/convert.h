#pragma once
#include <string>

#include "string/basic_string.h"
#include "string/weak_string.h"

namespace string {

// Each clears `out` first and returns true on success; on failure `out` is left empty.
bool to_utf8(const weak_string<wchar_t>& text, super_string<char>& out);
// The system ANSI code page, for narrow Win32 calls.
bool to_ansi(const weak_string<wchar_t>& text, super_string<char>& out);
bool from_utf8(const weak_string<char>& text, super_string<wchar_t>& out);
// Any code page the system knows (CP_ACP, CP_UTF8, 1250, ...); false for one it does not.
bool to_code_page(unsigned code_page, const weak_string<wchar_t>& text, super_string<char>& out);
bool from_code_page(unsigned code_page, const weak_string<char>& text, super_string<wchar_t>& out);

// The same for standard strings. Units or bytes that do not convert read as U+FFFD (or '?').
std::string to_utf8(const std::wstring& text);
std::wstring from_utf8(const std::string& text);
std::wstring from_code_page(unsigned code_page, const std::string& text);
// False, and out empty, for bytes that are no UTF-8.
bool from_utf8_strict(const std::string& text, std::wstring& out);

// Percent-encodes every byte but ASCII letters and digits ("%C5%82" for the UTF-8 of 'ł'), zero
// bytes included, for a query in an address.
narrow_string url_escape(const weak_string<char>& text);

// The text without the blanks (space, tab, line breaks) around it.
std::string trimmed(const std::string& text);
std::wstring trimmed(const std::wstring& text);

} // namespace string
