#pragma once
#include <memory>
#include <string>
#include <vector>

#include "memory/collection.h"
#include "search/tokenize.h"
#include "string/weak_string.h"

namespace search {

// A text reached by a query word and the row that owns it. Ordered and compared by row alone,
// so that a set of matches holds one element per row once made unique.
struct RMatch {
    long row_id = -1;
    long text_id = -1;

    bool operator==(const RMatch& other) const { return row_id == other.row_id; }
    bool operator!=(const RMatch& other) const { return row_id != other.row_id; }
    bool operator<(const RMatch& other) const { return row_id < other.row_id; }
    bool operator<=(const RMatch& other) const { return row_id <= other.row_id; }
    bool operator>(const RMatch& other) const { return row_id > other.row_id; }
    bool operator>=(const RMatch& other) const { return row_id >= other.row_id; }
};

// An indexed text, shared read-only between the index and the results that show it, so that a
// search hands out texts without copying them. Never null where this code makes one.
using shared_text = std::shared_ptr<const std::wstring>;

// A shared empty text, for rows whose text is missing.
const shared_text& empty_text();

// One row of a search result: a text of the row reached by the first query word.
struct RResultRow {
    shared_text text = empty_text();
    long text_id = -1;
    long row_id = -1;
};

// One word of the query, case-folded, with the number of text ids it reached (repeats counted).
struct RQueryWord {
    std::wstring word;
    long hits = 0;
};

// The outcome of one search; owned by the caller and not shared between threads.
class CSearchResult {
public:
    CSearchResult() = default;
    virtual ~CSearchResult() = default;
    CSearchResult(const CSearchResult&) = delete;
    CSearchResult& operator=(const CSearchResult&) = delete;

    void clear();
    void set_query(const string::weak_string<wchar_t>& query);
    void add_word(const RQueryWord& word);
    void add_row(const RResultRow& row);
    void add_row(RResultRow&& row);
    void reserve_rows(long count);

    // Empties `ids`, then adds the row id of every result row, ascending, once each.
    void row_ids(memory::CollectionMemory<long, 256>& ids) const;
    long word_count() const { return static_cast<long>(words_.size()); }
    long row_count() const { return static_cast<long>(rows_.size()); }
    // The query exactly as typed, blanks and case kept.
    const wide_string& query() const { return query_; }
    // Ascending by row id, one per row.
    const std::vector<RResultRow>& rows() const { return rows_; }
    // In query order, repeats kept.
    const std::vector<RQueryWord>& words() const { return words_; }

private:
    std::vector<RResultRow> rows_;
    std::vector<RQueryWord> words_;
    wide_string query_;
};

} // namespace search
