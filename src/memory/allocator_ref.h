#pragma once

#include "memory/heap.h"
#include "memory/list.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

namespace memory {

// Header of a segment: arrays are carved from its data area from low to high addresses.
template <class T> struct SegmentRef {
    unsigned char* start;
    std::uint32_t size;
    std::int32_t used;
    std::uint32_t room;
    unsigned char* next;
    std::uint32_t remaining;
};

// Sits immediately before the elements of every array handed out.
template <class T> struct RArrayHeader {
    SegmentRef<T>* segment;
    std::int32_t count;
    std::int32_t refs;
};

template <class T> class IAllocatorRef {
public:
    // Headers and arrays are both aligned to this, so a header always follows an array directly.
    static constexpr std::size_t alignment = std::max(alignof(T), alignof(RArrayHeader<T>));
    static constexpr std::size_t header_bytes = priv::round_up(sizeof(RArrayHeader<T>), alignment);

    virtual ~IAllocatorRef() = default;
    virtual T* add_ref(T* array) = 0;
    virtual T* allocate(std::int32_t n) = 0;
    virtual void release(T* array) = 0;
    virtual void reset() = 0;
    virtual void trim() = 0;

    static RArrayHeader<T>* header(const T* array) {
        unsigned char* bytes = reinterpret_cast<unsigned char*>(const_cast<T*>(array));
        return reinterpret_cast<RArrayHeader<T>*>(bytes - header_bytes);
    }
};

// Allocator of reference-counted arrays carved out of segments. The first segment (InlineCount
// elements) lives inside the object; further segments hold max(n, MinCount) elements. Space of a
// released array comes back only when its whole segment is empty.
//
// allocate() never returns null: heap exhaustion, and sizes beyond the 32-bit segment fields,
// throw std::bad_alloc (see memory/heap.h).
template <class T, std::int32_t InlineCount, std::int32_t MinCount>
class AllocatorRef : public IAllocatorRef<T> {
    using Base = IAllocatorRef<T>;
    static_assert(InlineCount >= 0 && MinCount > 0, "segments need room for elements");
    static_assert(Base::alignment <= alignof(std::max_align_t), "heap segments are only max_align_t aligned");

public:
    AllocatorRef() {
        setup(&inline_segment_, inline_data_, sizeof(inline_data_));
        segments_.push_back(&inline_segment_);
        cursor_ = segments_.begin();
    }
    // The inline segment points into the object itself.
    AllocatorRef(const AllocatorRef&) = delete;
    AllocatorRef& operator=(const AllocatorRef&) = delete;

    ~AllocatorRef() override {
        reset();
        trim();
    }

    T* add_ref(T* array) override {
        ++Base::header(array)->refs;
        return array;
    }

    T* allocate(std::int32_t n) override {
        if (n < 0) {
            heap_exhausted();
        }
        if (cursor_ == segments_.end()) {
            cursor_ = segments_.begin();
        }
        SegmentRef<T>* segment = cursor_.value();
        if (segment->room < static_cast<std::uint32_t>(n)) {
            cursor_.next();
            segment = new_segment(n);
        }
        RArrayHeader<T>* head = ::new (static_cast<void*>(segment->next)) RArrayHeader<T>;
        head->segment = segment;
        head->count = n;
        head->refs = 1;
        std::uint32_t step =
            static_cast<std::uint32_t>(std::min<std::size_t>(array_bytes(n), segment->remaining));
        segment->next += step;
        segment->remaining -= step;
        segment->used += n;
        segment->room = room_of(segment->remaining);
        return reinterpret_cast<T*>(reinterpret_cast<unsigned char*>(head) + Base::header_bytes);
    }

    void release(T* array) override {
        if (!array) {
            return;
        }
        RArrayHeader<T>* head = Base::header(array);
        if (--head->refs > 0) {
            return;
        }
        SegmentRef<T>* segment = head->segment;
        segment->used -= head->count;
        if (segment->used == 0) {
            rewind(segment);
        }
    }

    void reset() override {
        for (SegmentRef<T>* segment : segments_) {
            rewind(segment);
            segment->used = 0;
        }
    }

    void trim() override {
        ListIterator<SegmentRef<T>*> it = segments_.begin();
        while (it != segments_.end()) {
            SegmentRef<T>* segment = it.value();
            if (segment == &inline_segment_ || segment->used != 0) {
                it.next();
                continue;
            }
            if (cursor_ == it) {
                cursor_ = segments_.end();
            }
            it = segments_.erase(it);
            heap_free(segment);
        }
    }

    // Read-only view of the segments (the inline one first), for diagnostics and tests.
    const List<SegmentRef<T>*, 32>& segments() const { return segments_; }
    const SegmentRef<T>* inline_segment() const { return &inline_segment_; }

private:
    static constexpr std::size_t segment_offset = priv::round_up(sizeof(SegmentRef<T>), Base::alignment);

    static constexpr std::size_t array_bytes(std::size_t n) {
        return priv::round_up(Base::header_bytes + n * sizeof(T), Base::alignment);
    }
    static std::uint32_t room_of(std::uint32_t remaining) {
        return remaining < Base::header_bytes
                   ? 0
                   : static_cast<std::uint32_t>((remaining - Base::header_bytes) / sizeof(T));
    }
    static void rewind(SegmentRef<T>* segment) {
        segment->next = segment->start;
        segment->remaining = segment->size;
        segment->room = room_of(segment->size);
    }
    static void setup(SegmentRef<T>* segment, unsigned char* data, std::size_t size) {
        segment->start = data;
        segment->size = static_cast<std::uint32_t>(size);
        segment->used = 0;
        rewind(segment);
    }

    SegmentRef<T>* new_segment(std::int32_t n) {
        std::size_t count = static_cast<std::size_t>(std::max(n, MinCount));
        if (count > (std::numeric_limits<std::uint32_t>::max() - 2 * Base::header_bytes) / sizeof(T)) {
            heap_exhausted();
        }
        std::size_t size = array_bytes(count);
        unsigned char* raw = static_cast<unsigned char*>(heap_allocate(segment_offset + size));
        scratch_ = ::new (static_cast<void*>(raw)) SegmentRef<T>;
        setup(scratch_, raw + segment_offset, size);
        try {
            segments_.push_back(scratch_);
        } catch (...) {
            heap_free(raw);
            scratch_ = nullptr;
            throw;
        }
        cursor_ = segments_.last();
        SegmentRef<T>* segment = scratch_;
        scratch_ = nullptr;
        return segment;
    }

    alignas(Base::alignment) unsigned char inline_data_[array_bytes(InlineCount)];
    SegmentRef<T> inline_segment_;
    List<SegmentRef<T>*, 32> segments_;
    ListIterator<SegmentRef<T>*> cursor_;
    SegmentRef<T>* scratch_ = nullptr;
};

} // namespace memory
