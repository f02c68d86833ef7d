#include "memory/basic_allocator.h"
#include "memory/heap_count.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <vector>

namespace {

struct RRecord {
    long value;
    memory::RBlock<RRecord>* block;
};
using Pool = memory::BasicAllocator<RRecord, 4, 8>;

TEST(BasicAllocator, InlineBlockFirstLifoReuseAndTrim) {
    Pool pool;
    RRecord* inline_records[4];
    HeapCount heap;
    for (RRecord*& record : inline_records) {
        record = pool.allocate();
        auto at = reinterpret_cast<std::uintptr_t>(record) - reinterpret_cast<std::uintptr_t>(&pool);
        EXPECT_LT(at, sizeof(pool)); // inside the allocator object
    }
    EXPECT_EQ(heap.calls(), 0);
    RRecord* a = pool.allocate();
    RRecord* b = pool.allocate();
    EXPECT_EQ(heap.calls(), 1);
    EXPECT_EQ(pool.current_block(), pool.first_heap_block());
    pool.release(a);
    pool.release(b);
    EXPECT_EQ(pool.allocate(), b); // last released, first reused
    EXPECT_EQ(pool.allocate(), a);
    pool.release(a);
    pool.release(b);
    pool.release(inline_records[2]);
    pool.trim();
    EXPECT_EQ(pool.heap_block_count(), 0);
    EXPECT_EQ(pool.current_block(), pool.inline_block());
    EXPECT_EQ(pool.allocate(), inline_records[2]);
    EXPECT_EQ(heap.calls(), 1);
    RRecord* c = pool.allocate(); // inline block full again: a new heap block
    EXPECT_EQ(heap.calls(), 2);
    pool.release(c);
    for (RRecord* record : inline_records) {
        pool.release(record);
    }
}

// Random allocate/release/trim: no slot is handed out twice, no record is overwritten, the blocks'
// counters add up, and in the end every heap block goes back.
TEST(BasicAllocator, RandomUseKeepsRecordsDistinct) {
    std::mt19937 random(7);
    Pool pool;
    std::vector<RRecord*> live;
    std::map<RRecord*, long> values;
    for (long step = 0; step < 20000; ++step) {
        int op = random() % 10;
        if (op < 5 || live.empty()) {
            RRecord* record = pool.allocate();
            ASSERT_TRUE(values.emplace(record, step).second);
            record->value = step;
            live.push_back(record);
        } else if (op < 9) {
            size_t i = random() % live.size();
            ASSERT_EQ(live[i]->value, values[live[i]]);
            values.erase(live[i]);
            pool.release(live[i]);
            live[i] = live.back();
            live.pop_back();
        } else {
            pool.trim();
        }
        long used = pool.inline_block()->used;
        for (auto* block = pool.first_heap_block(); block; block = block->next) {
            used += block->used;
        }
        ASSERT_EQ(used, static_cast<long>(live.size()));
    }
    for (RRecord* record : live) {
        pool.release(record);
    }
    pool.trim();
    EXPECT_EQ(pool.heap_block_count(), 0);
}

} // namespace
