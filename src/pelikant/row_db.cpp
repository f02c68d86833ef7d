#include "pelikant/row_db.h"

namespace pelikant {

CRowDB::~CRowDB() {
    delete_all();
}

long CRowDB::register_row(std::unique_ptr<IVirtualRowDB> row) {
    std::shared_ptr<IVirtualRowDB> shared(std::move(row));
    kernel::CLock lock(lock_);
    rows_.push_back(std::move(shared));
    return static_cast<long>(rows_.size()) - 1;
}

std::shared_ptr<IVirtualRowDB> CRowDB::get_row(long id) const {
    kernel::CLock lock(lock_);
    if (id < 0 || id >= static_cast<long>(rows_.size())) {
        return nullptr;
    }
    return rows_[id];
}

void CRowDB::collect_ids(memory::CollectionMemory<long, 256>& ids) const {
    kernel::CLock lock(lock_);
    for (long id = 0; id < static_cast<long>(rows_.size()); ++id) {
        if (rows_[id] != nullptr) {
            ids.add(id);
        }
    }
}

void CRowDB::delete_all() {
    // Emptied under the lock, released outside it: a row's destructor never runs while the
    // database is locked, and a row still held by a caller lives on until that caller lets go.
    std::vector<std::shared_ptr<IVirtualRowDB>> rows;
    {
        kernel::CLock lock(lock_);
        rows.swap(rows_);
    }
}

long CRowDB::count() const {
    kernel::CLock lock(lock_);
    return static_cast<long>(rows_.size());
}

} // namespace pelikant
