#pragma once
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "memory/chunked.h"
#include "search/close_match.h"
#include "search/result_rows.h"
#include "search/search_result.h"
#include "search/text_index.h"
#include "string/weak_string.h"

namespace search {

// One line of the result list: its text and the row it opens.
struct RDisplayRow {
    std::wstring text;
    long row_id = -1;
};

// The documentation index of module, zero-terminated and contiguous in text; false when it is
// missing or does not load.
bool read_documentation(HMODULE module, memory::ChunkedMemory<char, 128>& text);

// The documentation catalogue: the index, its rows and the web-search row, and what a search
// shows. The application fills its list from the rows and opens their addresses. GUI thread
// only.
class CCatalogue {
public:
    // Close matches shown at most: enough for the likely names of an abbreviation, few enough to
    // leave the web-search row in sight.
    static constexpr std::size_t CLOSE_MATCHES = 10;

    explicit CCatalogue(const RSiteUrls& urls);
    CCatalogue(const CCatalogue&) = delete;
    CCatalogue& operator=(const CCatalogue&) = delete;

    // The web-search row first (unless the resource is missing), then one row and two indexed
    // texts per entry of the index in module, in document order.
    void load_documentation(HMODULE module = GetModuleHandleW(nullptr));
    // The rows a search shows: the entries whose title is the query, then those whose title
    // starts with it, then the rest, each group sorted by text; then its close matches; the
    // web-search row, given the query, last. With no query words, every entry.
    void display_rows(const CSearchResult& result, std::vector<RDisplayRow>& entries);
    // Entries the result does not hold whose titles its words reach with a slip or as an
    // abbreviation, best first, at most CLOSE_MATCHES of them.
    void close_matches(const CSearchResult& result, std::vector<long>& rows) const;
    // The search of one keystroke: match, then display_rows.
    std::vector<RDisplayRow> search(const string::weak_string<wchar_t>& query);
    // The row of an id, or null. Not owned.
    const IResultRow* row(long row_id) const { return rows_.get_row(row_id); }

    const CTextIndex& index() const { return index_; }
    CTextIndex& index() { return index_; }
    const CRowList& rows() const { return rows_; }
    long web_row_id() const { return web_row_id_; }

private:
    // What the ranking and the sort need of an entry, by row id. The display text's collation
    // key orders entries as CompareStringW does at a fraction of its cost; it is kept while the
    // text stays.
    struct REntry {
        std::wstring folded_title; // case-folded, as the ranking compares it
        std::wstring sorted_text;  // the text sort_key was made of
        std::string sort_key;
    };
    // Null when the system gives no key.
    static const std::string* sort_key_of(REntry& entry, const std::wstring& text);

    std::shared_ptr<const RSiteUrls> urls_;
    CTextIndex index_;
    CRowList rows_;
    long web_row_id_ = -1;
    CWebSearchRow* web_row_ = nullptr; // not owned: rows_ owns it
    std::vector<REntry> entries_;      // by row id; empty for rows that are no entry
    CCloseMatcher titles_;
};

} // namespace search
