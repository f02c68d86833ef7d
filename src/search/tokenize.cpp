#include "search/tokenize.h"

#include <windows.h>

namespace search {

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

namespace {

// The Latin blocks whose letters decompose into an ASCII letter and marks.
const wchar_t LATIN_FIRST = 0x00C0;
const wchar_t LATIN_LAST = 0x024F;
const wchar_t LATIN_ADDITIONAL_FIRST = 0x1E00;
const wchar_t LATIN_ADDITIONAL_LAST = 0x1EFF;

bool ascii_letter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// The ASCII letter c decomposes into, when the rest of its decomposition is only marks.
wchar_t decomposed_letter(wchar_t c) {
    wchar_t parts[8] = {};
    int n = NormalizeString(NormalizationD, &c, 1, parts, 8);
    if (n <= 1) {
        // Where normalisation is missing, the older folding table says the same.
        n = FoldStringW(MAP_COMPOSITE, &c, 1, parts, 8);
    }
    if (n <= 1 || !ascii_letter(parts[0])) {
        return c;
    }
    WORD types[8] = {};
    if (!GetStringTypeW(CT_CTYPE3, parts + 1, n - 1, types)) {
        return c;
    }
    for (int i = 0; i < n - 1; ++i) {
        if ((types[i] & (C3_NONSPACING | C3_DIACRITIC)) == 0) {
            return c;
        }
    }
    return parts[0];
}

// Both Latin blocks, looked up once: the search asks on every keystroke.
struct RUnmarkedTable {
    wchar_t latin[LATIN_LAST - LATIN_FIRST + 1];
    wchar_t additional[LATIN_ADDITIONAL_LAST - LATIN_ADDITIONAL_FIRST + 1];

    RUnmarkedTable() {
        for (wchar_t c = LATIN_FIRST; c <= LATIN_LAST; ++c) {
            latin[c - LATIN_FIRST] = decomposed_letter(c);
        }
        for (wchar_t c = LATIN_ADDITIONAL_FIRST; c <= LATIN_ADDITIONAL_LAST; ++c) {
            additional[c - LATIN_ADDITIONAL_FIRST] = decomposed_letter(c);
        }
        // The stroke is part of the letter, not a mark, so nothing decomposes it.
        latin[0x0141 - LATIN_FIRST] = L'L';
        latin[0x0142 - LATIN_FIRST] = L'l';
    }
};

} // namespace

wchar_t unmarked(wchar_t c) {
    if (c < LATIN_FIRST) {
        return c;
    }
    static const RUnmarkedTable table;
    if (c <= LATIN_LAST) {
        return table.latin[c - LATIN_FIRST];
    }
    if (c >= LATIN_ADDITIONAL_FIRST && c <= LATIN_ADDITIONAL_LAST) {
        return table.additional[c - LATIN_ADDITIONAL_FIRST];
    }
    return c;
}

bool starts_with_loosely(const wchar_t* text, std::size_t text_length, const wchar_t* query,
                         std::size_t query_length) {
    if (query_length > text_length) {
        return false;
    }
    for (std::size_t i = 0; i < query_length; ++i) {
        if (!letter_matches(query[i], text[i])) {
            return false;
        }
    }
    return true;
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

std::wstring composed(const std::wstring& text) {
    if (text.empty()) {
        return text;
    }
    const int length = static_cast<int>(text.size());
    // The size asked for is an estimate; a text that composes longer asks again with its answer.
    int size = NormalizeString(NormalizationC, text.c_str(), length, nullptr, 0);
    for (int attempt = 0; attempt < 3 && size > 0; ++attempt) {
        std::wstring out(static_cast<size_t>(size), L'\0');
        const int written = NormalizeString(NormalizationC, text.c_str(), length, &out[0], size);
        if (written > 0) {
            out.resize(static_cast<size_t>(written));
            return out;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            break;
        }
        size = -written;
    }
    return text;
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

} // namespace search
