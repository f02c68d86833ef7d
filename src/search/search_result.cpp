#include "search/search_result.h"

#include <utility>

namespace search {

const shared_text& empty_text() {
    static const shared_text empty = std::make_shared<const std::wstring>();
    return empty;
}

void CSearchResult::clear() {
    rows_.clear();
    words_.clear();
    query_.clear();
}

void CSearchResult::set_query(const string::weak_string<wchar_t>& query) {
    query_ = query;
}

void CSearchResult::add_word(const RQueryWord& word) {
    words_.push_back(word);
}

void CSearchResult::add_row(const RResultRow& row) {
    rows_.push_back(row);
}

void CSearchResult::add_row(RResultRow&& row) {
    rows_.push_back(std::move(row));
}

void CSearchResult::reserve_rows(long count) {
    if (count > 0) {
        rows_.reserve(static_cast<std::size_t>(count));
    }
}

void CSearchResult::row_ids(memory::CollectionMemory<long, 256>& ids) const {
    ids.clear();
    for (const RResultRow& row : rows_) {
        ids.add(row.row_id);
    }
    // Rows arrive ascending from the search; anyone else's order is put right here.
    ids.make_unique();
}

} // namespace search
