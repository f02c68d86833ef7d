#include "pelikant/row_db.h"

namespace pelikant {

CRowDB::~CRowDB() {
    delete_all();
}

long CRowDB::register_row(IVirtualRowDB* row) {
    nexum::CLock lock(lock_);
    rows_.push_back(row);
    return static_cast<long>(rows_.size()) - 1;
}

IVirtualRowDB* CRowDB::get_row(long id) const {
    nexum::CLock lock(lock_);
    if (id < 0 || id >= static_cast<long>(rows_.size())) {
        return nullptr;
    }
    return rows_[id];
}

void CRowDB::collect_ids(memory::CollectionMemory<long, 256>& ids) const {
    nexum::CLock lock(lock_);
    for (long id = 0; id < static_cast<long>(rows_.size()); ++id) {
        if (rows_[id] != nullptr) {
            ids.add(id);
        }
    }
}

void CRowDB::delete_all() {
    nexum::CLock lock(lock_);
    // Emptied first, so a row whose destructor looks back here finds no stale pointer.
    std::vector<IVirtualRowDB*> rows;
    rows.swap(rows_);
    for (IVirtualRowDB* row : rows) {
        delete row;
    }
}

long CRowDB::count() const {
    nexum::CLock lock(lock_);
    return static_cast<long>(rows_.size());
}

} // namespace pelikant
