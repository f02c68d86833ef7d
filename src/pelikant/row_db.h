#pragma once
#include <memory>
#include <vector>

#include "memory/collection.h"
#include "kernel/sync.h"

namespace pelikant {

// A row the result list can show: 0 a documentation entry, 1 the web search.
class IVirtualRowDB {
public:
    virtual ~IVirtualRowDB() = default;
    virtual int kind() const = 0;

protected:
    IVirtualRowDB() = default;
    IVirtualRowDB(const IVirtualRowDB&) = default;
    IVirtualRowDB& operator=(const IVirtualRowDB&) = default;
};

// Every row of the result list, owned, addressed by row id (0, 1, 2, ... in registration order).
// A slot may be null; null slots are skipped wherever rows are looked up or enumerated.
// A row handed out by get_row stays alive while the caller holds it, even if another thread
// empties the database meanwhile.
class CRowDB {
public:
    CRowDB() = default;
    virtual ~CRowDB();
    CRowDB(const CRowDB&) = delete;
    CRowDB& operator=(const CRowDB&) = delete;

    // Takes ownership (also when storing fails); returns the new row id.
    long register_row(std::unique_ptr<IVirtualRowDB> row);
    long register_row(IVirtualRowDB* row) { return register_row(std::unique_ptr<IVirtualRowDB>(row)); }
    // Null for a negative id, an id past the last slot, or a null slot.
    std::shared_ptr<IVirtualRowDB> get_row(long id) const;
    // Adds the id of every non-null slot, ascending.
    void collect_ids(memory::CollectionMemory<long, 256>& ids) const;
    void delete_all();
    // Slots, null ones included.
    long count() const;

private:
    mutable kernel::CCriticalSection lock_;
    std::vector<std::shared_ptr<IVirtualRowDB>> rows_;
};

} // namespace pelikant
