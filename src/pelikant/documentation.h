#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "kernel/sync.h"
#include "memory/chunked.h"
#include "pelikant/parse_xml.h"
#include "pelikant/row_db.h"
#include "pelikant/search_db.h"
#include "pelikant/search_result.h"
#include "string/basic_string.h"
#include "string/weak_string.h"
#include "wapi/controls.h"

namespace pelikant {

using narrow_string = string::basic_string<char, 256>;

// The two addresses the search opens, both without a trailing slash. Configuration of the
// application, shared by its rows.
struct RSiteUrls {
    narrow_string site;
    narrow_string search;
};

// A documentation entry. Its texts live in the index and are fetched at every use.
class CDocumentationVR : public IVirtualRowDB {
public:
    CDocumentationVR(const CSearchDB& index, std::shared_ptr<const RSiteUrls> urls);
    int kind() const override { return 0; }

    // Empty when the text id is not in the index.
    wide_string full_title() const;
    wide_string short_description() const;
    // The entry's page on the site.
    narrow_string url() const;

    std::int32_t id = -1;
    std::int32_t full_title_id = -1;
    std::int32_t short_description_id = -1;
    // The entry's short name (its Title): a query equal to it, or starting it, ranks the row first.
    std::wstring title;
    std::wstring folded_title; // case-folded, as the ranking compares it

private:
    const CSearchDB& index_; // not owned
    std::shared_ptr<const RSiteUrls> urls_;
};

// The last row: searches the web for the text typed. Its query is set by the thread that shows
// the results; the lock keeps each read of it whole.
class CGoogleVR : public IVirtualRowDB {
public:
    explicit CGoogleVR(std::shared_ptr<const RSiteUrls> urls);
    int kind() const override { return 1; }

    void set_query(const string::weak_string<wchar_t>& query);
    wide_string caption() const;
    // The search engine's home page when there is nothing (convertible) to search for.
    narrow_string url() const;

private:
    mutable kernel::CCriticalSection lock_;
    wide_string query_;
    std::shared_ptr<const RSiteUrls> urls_;
};

struct RDisplayRow {
    std::wstring text;
    long row_id = -1;
};

// Resource 5010 of module, zero-terminated and contiguous in text; false when it is missing or
// does not load.
bool read_documentation(HMODULE module, memory::ChunkedMemory<char, 128>& text);

// The documentation search as the application holds it: the index, the rows, the web-search
// row and the addresses they open. The result list is shown and rows are opened on the GUI
// thread.
class CDocumentation {
public:
    explicit CDocumentation(const RSiteUrls& urls);
    virtual ~CDocumentation() = default;
    CDocumentation(const CDocumentation&) = delete;
    CDocumentation& operator=(const CDocumentation&) = delete;

    // The web-search row first (unless the resource is missing), then one row and two indexed
    // texts per entry of the index in module, in document order.
    void load_documentation(HMODULE module = GetModuleHandleA(nullptr));
    // Rebuilds list from a search: the entries whose title is the query, then those whose title
    // starts with it, then the rest, each group sorted by text; the web-search row last; item 0
    // selected, so that Enter opens what was typed.
    void show_results(const CSearchResultDB& result, wapi::CListView& list);
    // The entries show_results puts into the list, in order.
    void display_rows(const CSearchResultDB& result, std::vector<RDisplayRow>& entries);
    // Refills list with entries with its redrawing off, then selects item 0.
    static void fill_list(wapi::CListView& list, const std::vector<RDisplayRow>& entries);
    // Opens the row's address; false only when no such row exists.
    bool activate_row(long row_id) const;

    CSearchDB& index() { return index_; }
    const CRowDB& rows() const { return rows_; }
    long web_row_id() const { return web_row_id_; }

private:
    // A display text and its collation key: entries are sorted by comparing keys, which orders
    // them as CompareStringW does at a fraction of its cost. Kept per row while its text stays.
    struct RSortKey {
        std::wstring text;
        std::string key;
    };
    bool sort_key_of(long row_id, const std::wstring& text, const std::string*& key);

    std::shared_ptr<const RSiteUrls> urls_;
    CSearchDB index_;
    CRowDB rows_;
    long web_row_id_ = -1;
    std::vector<RSortKey> sort_keys_; // by row id; GUI thread only
};

} // namespace pelikant
