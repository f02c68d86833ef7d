#include "search/result_rows.h"

#include <cstdio>
#include <utility>

#include "string/convert.h"

namespace search {

namespace {

const wchar_t WEB_SEARCH_CAPTION[] = L"Szukaj za pomocą wyszukiwarki Google";

void append(narrow_string& out, const char* text) {
    out.append(string::weak_string<char>(text));
}

} // namespace

long CRowList::register_row(std::unique_ptr<IResultRow> row) {
    rows_.push_back(std::move(row));
    return static_cast<long>(rows_.size()) - 1;
}

IResultRow* CRowList::get_row(long id) const {
    if (id < 0 || id >= static_cast<long>(rows_.size())) {
        return nullptr;
    }
    return rows_[static_cast<size_t>(id)].get();
}

void CRowList::collect_ids(memory::CollectionMemory<long, 256>& ids) const {
    for (long id = 0; id < static_cast<long>(rows_.size()); ++id) {
        if (rows_[static_cast<size_t>(id)] != nullptr) {
            ids.add(id);
        }
    }
}

CEntryRow::CEntryRow(const CTextIndex& index, std::shared_ptr<const RSiteUrls> urls)
    : index_(index), urls_(std::move(urls)) {}

wide_string CEntryRow::full_title() const {
    return index_.get_text(full_title_id);
}

wide_string CEntryRow::short_description() const {
    return index_.get_text(short_description_id);
}

std::wstring CEntryRow::caption() const {
    const wide_string title = full_title();
    const wide_string description = short_description();
    std::wstring text;
    text.reserve(static_cast<size_t>(title.length() + description.length()) + 5);
    text.append(title.c_str(), static_cast<size_t>(title.length()));
    text.append(L" /*");
    text.append(description.c_str(), static_cast<size_t>(description.length()));
    text.append(L"*/");
    return text;
}

narrow_string CEntryRow::url() const {
    narrow_string out(urls_->site);
    char page[40];
    std::snprintf(page, sizeof(page), "/dokumentacja/?nro=%d", static_cast<int>(id));
    append(out, page);
    return out;
}

CWebSearchRow::CWebSearchRow(std::shared_ptr<const RSiteUrls> urls) : urls_(std::move(urls)) {}

void CWebSearchRow::set_query(const string::weak_string<wchar_t>& query) {
    query_ = query;
}

std::wstring CWebSearchRow::caption() const {
    std::wstring out(WEB_SEARCH_CAPTION);
    if (!query_.is_empty()) {
        out.append(L" \x00bb ");
        out.append(query_.c_str(), static_cast<size_t>(query_.length()));
    }
    return out;
}

narrow_string CWebSearchRow::url() const {
    narrow_string out(urls_->search);
    narrow_string utf8;
    if (query_.is_empty() || !string::to_utf8(string::weak_string<wchar_t>(query_), utf8) ||
        utf8.is_empty()) {
        return out;
    }
    append(out, "/search?q=");
    out.append(string::weak_string<char>(string::url_escape(string::weak_string<char>(utf8))));
    return out;
}

} // namespace search
