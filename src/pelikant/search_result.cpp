#include "pelikant/search_result.h"

#include <utility>

namespace pelikant {

const shared_text& empty_text() {
    static const shared_text empty = std::make_shared<const std::wstring>();
    return empty;
}

void CSearchResultDB::clear() {
    rows_.clear();
    words_.clear();
    query_.clear();
}

void CSearchResultDB::set_query(const string::weak_string<wchar_t>& query) {
    query_ = query;
}

void CSearchResultDB::add_word(const RQueryWord& word) {
    words_.push_back(word);
}

void CSearchResultDB::add_row(const RResultRow& row) {
    rows_.push_back(row);
}

void CSearchResultDB::add_row(RResultRow&& row) {
    rows_.push_back(std::move(row));
}

void CSearchResultDB::reserve_rows(long count) {
    if (count > 0) {
        rows_.reserve(static_cast<std::size_t>(count));
    }
}

void CSearchResultDB::row_ids(memory::CollectionMemory<long, 256>& ids) const {
    ids.clear();
    for (const RResultRow& row : rows_) {
        ids.add(row.row_id);
    }
    // Rows arrive ascending from the search; anyone else's order is put right here.
    ids.make_unique();
}

} // namespace pelikant
