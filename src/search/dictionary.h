#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "memory/collection.h"
#include "search/tokenize.h"
#include "string/weak_string.h"

namespace search {

// The dictionary of the search index: every word ever indexed, case-folded, with a dense id in
// order of first appearance. Words are never removed, so an id stays valid for good.
class CDictionary {
public:
    CDictionary() = default;
    CDictionary(const CDictionary&) = delete;
    CDictionary& operator=(const CDictionary&) = delete;

    // Id of the folded word, added when new; -1 when folding fails.
    long intern(const string::weak_string<wchar_t>& word);
    // Id of the folded word, or -1.
    long find(const string::weak_string<wchar_t>& word) const;
    // Ascending ids of every word that contains the folded fragment anywhere, its letters
    // compared by the search's rule (a letter typed without its mark also finds the marked one).
    memory::CollectionMemory<long, 256> find_containing(const string::weak_string<wchar_t>& fragment) const;
    // The same into a plain array, emptied first: the search runs this on every keystroke.
    void find_containing(const string::weak_string<wchar_t>& fragment, std::vector<long>& ids) const;

    long count() const;
    // The word of an id; empty for an id that names none.
    std::wstring word(long id) const;

private:
    // Where a word lies in chars_, and which code units it holds, as written and unmarked (one
    // bit per hash of a unit): a word whose bits do not cover the fragment's cannot contain it.
    struct RSpan {
        std::uint64_t units;
        std::uint64_t unmarked_units;
        std::int32_t start;
        std::int32_t end;
    };
    static std::uint64_t unit_bit(wchar_t c);
    static std::uint64_t unit_bits(const wchar_t* chars, std::size_t length);

    // The word list: all words back to back in id order, so the scan on every keystroke walks
    // two flat arrays.
    std::vector<wchar_t> chars_;
    std::vector<wchar_t> unmarked_; // chars_ without their marks, unit for unit
    std::vector<RSpan> spans_;      // by word id
    std::map<std::wstring, long> ids_;
};

} // namespace search
