#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "string/basic_string.h"

namespace search {

using string::wide_string;

// Ids of rows, texts and words are 32-bit (long is 32-bit on Windows); -1 means none.
static_assert(sizeof(long) == 4, "ids are 32-bit");

enum class ECharClass { digit, letter, space, symbol };

// Class of one UTF-16 code unit: ASCII digits only, then IsCharAlphaW, then the blank set.
ECharClass char_class(wchar_t c);

// Lower-cases in place with CharLowerBuffW; false when it did not take every code unit.
bool fold_case(wchar_t* chars, std::int32_t length);

// Folds a copy of the text; false (and `out` empty) when folding fails.
bool folded_copy(const wchar_t* chars, std::int32_t length, std::wstring& out);

// The letter without its marks, by the system's canonical decomposition: 'ą' -> 'a', 'É' -> 'E',
// 'ü' -> 'u', and 'ł' -> 'l', which has none. Every other unit stands for itself.
wchar_t unmarked(wchar_t c);

// The search's letter rule, on case-folded text: a query unit matches itself, and one typed
// without a mark also matches every marked form of it ("zrodlo" finds "źródło"); one typed with
// its mark matches only itself ("łańcuch" does not find "lancuch"). Most people type without the
// marks.
inline bool letter_matches(wchar_t query, wchar_t text) {
    return query == text || (unmarked(query) == query && unmarked(text) == query);
}

// Whether `query` matches the start of `text` under that rule; lengths in code units.
bool starts_with_loosely(const wchar_t* text, std::size_t text_length, const wchar_t* query,
                         std::size_t query_length);

// The text in composed form (NFC): "o" followed by U+0301, as some pages and macOS give it,
// becomes "ó", which is one letter to the word splitter. The text as it was where the system
// cannot compose it.
std::wstring composed(const std::wstring& text);

// Words of a text, in order and with repeats: maximal runs of one class after case folding;
// blanks only separate. No words at all when folding fails. The index and the query side
// both cut text here, so that a query word and an indexed word always compare alike.
std::vector<std::wstring> tokenize(wide_string text);

} // namespace search
