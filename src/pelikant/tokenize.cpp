#include "pelikant/tokenize.h"

#include <windows.h>

namespace pelikant {

ECharClass char_class(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return ECharClass::digit;
    }
    if (IsCharAlphaW(c)) {
        return ECharClass::letter;
    }
    if (c == L' ' || (c >= L'\t' && c <= L'\r')) {
        return ECharClass::space;
    }
    return ECharClass::symbol;
}

bool fold_case(wchar_t* chars, std::int32_t length) {
    if (length <= 0) {
        return true;
    }
    return CharLowerBuffW(chars, static_cast<DWORD>(length)) == static_cast<DWORD>(length);
}

bool folded_copy(const wchar_t* chars, std::int32_t length, std::wstring& out) {
    out.clear();
    if (chars == nullptr || length <= 0) {
        return true;
    }
    out.assign(chars, static_cast<std::size_t>(length));
    if (!fold_case(&out[0], length)) {
        out.clear();
        return false;
    }
    return true;
}

std::vector<std::wstring> tokenize(wide_string text) {
    std::vector<std::wstring> words;
    const std::int32_t length = text.length();
    if (length == 0) {
        return words;
    }
    text.c_str(); // contiguous, so data() covers the whole text
    wchar_t* chars = text.data();
    if (!fold_case(chars, length)) {
        return words;
    }
    ECharClass previous = ECharClass::space;
    std::int32_t start = 0;
    for (std::int32_t i = 0; i < length; ++i) {
        const ECharClass k = char_class(chars[i]);
        if (k == previous) {
            continue;
        }
        if (previous != ECharClass::space) {
            words.emplace_back(chars + start, chars + i);
        }
        start = i;
        previous = k;
    }
    if (previous != ECharClass::space) {
        words.emplace_back(chars + start, chars + length);
    }
    return words;
}

} // namespace pelikant
