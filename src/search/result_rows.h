#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "memory/collection.h"
#include "search/text_index.h"
#include "string/basic_string.h"
#include "string/weak_string.h"

namespace search {

using string::narrow_string;

// The two addresses the search opens, both without a trailing slash.
struct RSiteUrls {
    narrow_string site;
    narrow_string search;
};

// A row the result list can show: what it says and the address (UTF-8) it opens.
class IResultRow {
public:
    virtual ~IResultRow() = default;
    virtual std::wstring caption() const = 0;
    virtual narrow_string url() const = 0;

protected:
    IResultRow() = default;
    IResultRow(const IResultRow&) = default;
    IResultRow& operator=(const IResultRow&) = default;
};

// Every row the result list can ever show, owned, by row id (0, 1, 2, ... in registration order).
// A slot may be null; null slots are skipped wherever rows are looked up or enumerated. Like
// the whole search, used on the GUI thread alone.
class CRowList {
public:
    CRowList() = default;
    CRowList(const CRowList&) = delete;
    CRowList& operator=(const CRowList&) = delete;

    // Returns the new row id.
    long register_row(std::unique_ptr<IResultRow> row);
    // Null for a negative id, an id past the last slot, or a null slot. Not owned.
    IResultRow* get_row(long id) const;
    // Adds the id of every non-null slot, ascending.
    void collect_ids(memory::CollectionMemory<long, 256>& ids) const;
    void delete_all() { rows_.clear(); }
    // Slots, null ones included.
    long count() const { return static_cast<long>(rows_.size()); }

private:
    std::vector<std::unique_ptr<IResultRow>> rows_;
};

// A documentation entry: its full title and short description, fetched from the index at every
// use, and its page on the site.
class CEntryRow : public IResultRow {
public:
    CEntryRow(const CTextIndex& index, std::shared_ptr<const RSiteUrls> urls);

    // "<full title> /*<short description>*/"; a text missing from the index is empty.
    std::wstring caption() const override;
    narrow_string url() const override;
    wide_string full_title() const;
    wide_string short_description() const;

    std::int32_t id = -1;
    std::int32_t full_title_id = -1;
    std::int32_t short_description_id = -1;

private:
    const CTextIndex& index_; // not owned
    std::shared_ptr<const RSiteUrls> urls_;
};

// The last row: searches the web for the text typed.
class CWebSearchRow : public IResultRow {
public:
    explicit CWebSearchRow(std::shared_ptr<const RSiteUrls> urls);

    void set_query(const string::weak_string<wchar_t>& query);
    std::wstring caption() const override;
    // The search engine's home page when there is nothing (convertible) to search for.
    narrow_string url() const override;

private:
    wide_string query_;
    std::shared_ptr<const RSiteUrls> urls_;
};

} // namespace search
