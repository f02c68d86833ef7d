#include "memory/allocator_ref.h"
#include "memory/heap_count.h"

#include <gtest/gtest.h>

#include <limits>
#include <new>

namespace {

// 16 inline ints take 80 bytes with their header; heap segments hold at least 32.
using Arrays = memory::AllocatorRef<int, 16, 32>;

const memory::RArrayHeader<int>* head(const int* array) {
    return memory::IAllocatorRef<int>::header(array);
}

TEST(AllocatorRef, SegmentsAndReferenceCounts) {
    Arrays arrays;
    const memory::SegmentRef<int>* inline_segment = arrays.inline_segment();
    HeapCount heap;
    int* a = arrays.allocate(10);
    int* b = arrays.allocate(2);
    EXPECT_EQ(heap.calls(), 0);
    EXPECT_TRUE(head(a)->segment == inline_segment && head(b)->segment == inline_segment);
    EXPECT_TRUE(head(a)->count == 10 && head(a)->refs == 1);
    EXPECT_TRUE(inline_segment->used == 12 && inline_segment->room == 0);

    int* c = arrays.allocate(1);  // a heap segment of 32
    int* d = arrays.allocate(30); // only the cursor's segment is examined: another one
    EXPECT_EQ(heap.calls(), 2);
    EXPECT_NE(head(d)->segment, head(c)->segment);
    // 144 bytes: 16 of header and 32 ints; c took 24 (header, one int, padding); 120 are left,
    // a header and 26 ints.
    EXPECT_EQ(head(c)->segment->room, 26u);

    EXPECT_EQ(arrays.add_ref(a), a);
    arrays.release(a);
    arrays.release(a);
    EXPECT_TRUE(inline_segment->used == 2 && inline_segment->next != inline_segment->start);
    arrays.release(b); // space comes back only with the whole segment
    EXPECT_TRUE(inline_segment->used == 0 && inline_segment->next == inline_segment->start);
    EXPECT_EQ(inline_segment->room, 16u);
    arrays.release(c);
    arrays.release(d);
}

TEST(AllocatorRef, TrimResetAndExhaustion) {
    Arrays arrays;
    int* kept = arrays.allocate(40);
    int* big = arrays.allocate(100);
    EXPECT_EQ(head(big)->segment->size, 16 + 100 * sizeof(int));
    arrays.release(big);
    arrays.trim();
    EXPECT_EQ(arrays.segments().count(), 2);
    kept[39] = 7;
    HeapCount heap;
    int* again = arrays.allocate(16); // the cursor was on the freed segment: start over
    EXPECT_EQ(head(again)->segment, arrays.inline_segment());
    EXPECT_EQ(heap.calls(), 0);

    EXPECT_THROW(arrays.allocate(std::numeric_limits<std::int32_t>::max()), std::bad_alloc);
    EXPECT_THROW(arrays.allocate(-1), std::bad_alloc);
    arrays.release(kept);
    arrays.reset(); // forgets `again`; the segment of `kept` is freed by trim
    EXPECT_EQ(arrays.inline_segment()->used, 0);
    arrays.trim();
    EXPECT_EQ(arrays.segments().count(), 1);
}

} // namespace
