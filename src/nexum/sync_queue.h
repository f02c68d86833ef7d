#pragma once
#include <cstdint>

#include "memory/list.h"
#include "kernel/sync.h"

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
        kernel::CLock guard(lock_);
        if (closed_) {
            return false;
        }
        items_.push_back(item);
        if (items_.count() == 1) {
            event_.set();
        }
        return true;
    }

    // False when the system gave the queue no event: it cannot block, so it must not be used.
    bool is_valid() const { return event_.is_valid(); }

    // Blocks until an item or the close arrives; a closed queue still hands out what it holds.
    // Without an event it cannot wait, and answers as if closed rather than spin.
    bool pop(T& out) {
        for (;;) {
            if (!event_.wait()) {
                return try_pop(out);
            }
            kernel::CLock guard(lock_);
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
        kernel::CLock guard(lock_);
        if (items_.count() == 0) {
            return false;
        }
        take(out);
        return true;
    }

    void open() {
        kernel::CLock guard(lock_);
        if (open_count_ == 0) {
            closed_ = false;
            if (items_.count() == 0) {
                event_.reset();
            }
        }
        ++open_count_;
    }

    void close() {
        kernel::CLock guard(lock_);
        if (open_count_ > 0) {
            --open_count_;
        }
        if (open_count_ == 0) {
            closed_ = true;
            event_.set();
        }
    }

    std::int32_t count() {
        kernel::CLock guard(lock_);
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
    kernel::CCriticalSection lock_;
    kernel::CManualEvent event_;
};

} // namespace nexum
