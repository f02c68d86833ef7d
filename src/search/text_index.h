#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "memory/collection.h"
#include "search/search_result.h"
#include "search/tokenize.h"
#include "search/dictionary.h"
#include "string/weak_string.h"

namespace search {

// An indexed text: a private copy as given (not case-folded) and the row that owns it.
struct RText {
    shared_text text = empty_text();
    long row_id = -1;
};

// The word index over the documentation texts. Text ids are global keys: adding a text under an
// id already present replaces the earlier text. Built once and searched on every keystroke, on
// the GUI thread alone.
class CTextIndex {
public:
    CTextIndex() = default;
    CTextIndex(const CTextIndex&) = delete;
    CTextIndex& operator=(const CTextIndex&) = delete;

    void add(long text_id, const string::weak_string<wchar_t>& text, long row_id);
    // The text and its row; an empty text and row -1 for an id that is not indexed.
    wide_string get_text(long text_id, long& row_id) const;
    wide_string get_text(long text_id) const;

    // Rows whose texts reach every query word: ascending by row id, one per row, each with a text
    // the first word reached.
    void match(const string::weak_string<wchar_t>& query, CSearchResult& result) const;

    long text_count() const;
    const CDictionary& words() const { return words_; }

private:
    struct RPosting {
        long text_id;
        long row_id;       // always that of *text, kept here so a search reads no text per hit
        const RText* text; // the record in texts_, which outlives its postings
    };
    // Per row, what the current search has seen of it: `pass` marks the word being looked up,
    // `first_pass` the first word, which also leaves the text that reached the row.
    struct RSeen {
        std::uint32_t pass;
        std::uint32_t first_pass;
        long text_id;
        const RText* text;
    };
    // Rows from 0 up to this go through the per-row table, any others through a plain sort.
    static constexpr long dense_rows = 1 << 16;

    // Takes out the text of an id that is indexed: a text added again replaces the earlier one.
    void drop(long text_id);
    std::uint32_t next_pass() const;
    long reach(const std::vector<long>& word_ids, bool first,
               memory::CollectionMemory<RMatch, 256>* reached) const;

    std::vector<std::vector<RPosting>> postings_; // by word id
    std::map<long, RText> texts_;
    CDictionary words_;
    mutable std::vector<RSeen> seen_; // scratch of match, by row id
    mutable std::uint32_t pass_ = 0;
};

} // namespace search
