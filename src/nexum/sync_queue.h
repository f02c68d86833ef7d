#pragma once
#include <cstdint>

#include "memory/list.h"
#include "nexum/sync.h"

namespace nexum {

// Blocking first-in-first-out queue of pointers between threads. Its event is signalled
// whenever it holds items or is closed, so a waiting consumer always wakes for either.
template <class T>
class CSyncQueue {
public:
    CSyncQueue() = default;
    CSyncQueue(const CSyncQueue&) = delete;
    CSyncQueue& operator=(const CSyncQueue&) = delete;

    // False when closed: the item is not taken and stays the caller's.
    bool push(T item) {
        CLock guard(lock_);
        if (closed_) {
            return false;
        }
        items_.push_back(item);
        if (items_.count() == 1) {
            event_.set();
        }
        return true;
    }

    // Blocks until an item or the close arrives; a closed queue still hands out what it holds.
    bool pop(T& out) {
        for (;;) {
            event_.wait();
            CLock guard(lock_);
            if (items_.count() > 0) {
                take(out);
                return true;
            }
            if (closed_) {
                return false;
            }
        }
    }

    // Never blocks; for draining what is left once no consumer runs.
    bool try_pop(T& out) {
        CLock guard(lock_);
        if (items_.count() == 0) {
            return false;
        }
        take(out);
        return true;
    }

    void open() {
        CLock guard(lock_);
        if (open_count_ == 0) {
            closed_ = false;
            if (items_.count() == 0) {
                event_.reset();
            }
        }
        ++open_count_;
    }

    void close() {
        CLock guard(lock_);
        if (open_count_ > 0) {
            --open_count_;
        }
        if (open_count_ == 0) {
            closed_ = true;
            event_.set();
        }
    }

    std::int32_t count() {
        CLock guard(lock_);
        return items_.count();
    }

private:
    void take(T& out) {
        out = items_.pop_front();
        if (items_.count() == 0 && !closed_) {
            event_.reset();
        }
    }

    memory::List<T, 1024> items_;
    bool closed_ = false;
    int open_count_ = 0;
    CCriticalSection lock_;
    CManualEvent event_;
};

} // namespace nexum
