#include "memory/heap_count.h"
#include "memory/list.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

namespace {

using SmallList = memory::List<long, 4>;

// Contents by walking forward, checking every back link and the count on the way.
std::vector<long> contents(const SmallList& list) {
    std::vector<long> values;
    const SmallList::RNode* prev = nullptr;
    for (auto it = list.begin(); it != list.end(); it.next()) {
        EXPECT_EQ(it.node()->prev, prev);
        prev = it.node();
        values.push_back(it.value());
    }
    EXPECT_EQ(list.last().node(), prev);
    EXPECT_EQ(list.count(), static_cast<std::int32_t>(values.size()));
    return values;
}

SmallList::iterator at(const SmallList& list, int index) {
    auto it = list.begin();
    while (index-- > 0) {
        it.next();
    }
    return it;
}

TEST(List, EraseRangesAndPool) {
    struct Case {
        int from, to;
        std::vector<long> left;
    };
    for (const Case& c : {Case{3, 3, {0, 1, 2, 3, 4, 5}}, Case{0, 6, {}}, Case{2, 4, {0, 1, 4, 5}},
                          Case{5, 6, {0, 1, 2, 3, 4}}, Case{0, 1, {1, 2, 3, 4, 5}}}) {
        SmallList list;
        const long values[] = {0, 1, 2, 3, 4, 5};
        HeapCount heap;
        list.push_back_all(6, values);
        EXPECT_EQ(heap.calls(), 1); // 4 nodes inline, then one block of 16
        auto to = at(list, c.to);
        EXPECT_EQ(list.erase(at(list, c.from), to), to);
        EXPECT_EQ(contents(list), c.left) << c.from << ".." << c.to;
    }
}

TEST(List, RandomOperationsMatchDeque) {
    std::mt19937 random(11);
    SmallList list;
    list.clear();
    std::deque<long> model;
    for (int step = 0; step < 5000; ++step) {
        int op = random() % 12;
        if (op < 6) {
            list.push_back(step);
            model.push_back(step);
        } else if (op < 8 && !model.empty()) {
            ASSERT_EQ(list.pop_front(), model.front());
            model.pop_front();
        } else if (op < 11) {
            int from = random() % (model.size() + 1);
            int to = from + random() % (model.size() - from + 1);
            list.erase(at(list, from), at(list, to));
            model.erase(model.begin() + from, model.begin() + to);
        } else if (random() % 8 == 0) {
            list.clear();
            model.clear();
        }
        ASSERT_EQ(contents(list), std::vector<long>(model.begin(), model.end()));
    }
}

} // namespace
