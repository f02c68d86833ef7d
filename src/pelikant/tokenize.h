#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "string/basic_string.h"

namespace pelikant {

using wide_string = string::basic_string<wchar_t, 256>;

// Ids of rows, texts and words are 32-bit (long is 32-bit on Windows); -1 means none.
static_assert(sizeof(long) == 4, "ids are 32-bit");

enum class ECharClass { digit, letter, space, symbol };

// Class of one UTF-16 code unit: ASCII digits only, then IsCharAlphaW, then the blank set.
ECharClass char_class(wchar_t c);

// Lower-cases in place with CharLowerBuffW; false when it did not take every code unit.
bool fold_case(wchar_t* chars, std::int32_t length);

// Folds a copy of the text; false (and `out` empty) when folding fails.
bool folded_copy(const wchar_t* chars, std::int32_t length, std::wstring& out);

// Words of a text, in order and with repeats: maximal runs of one class after case folding;
// blanks only separate. No words at all when folding fails. The index and the query side
// both cut text here, so that a query word and an indexed word always compare alike.
std::vector<std::wstring> tokenize(wide_string text);

} // namespace pelikant
