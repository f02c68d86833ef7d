#include "memory/collection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <set>
#include <vector>

namespace {

template <class T, std::int32_t N> std::vector<T> values(const memory::CollectionMemory<T, N>& collection) {
    std::vector<T> list;
    for (auto it = collection.begin(); it != collection.end(); it.next()) {
        list.push_back(*it);
    }
    EXPECT_EQ(collection.count(), static_cast<std::int32_t>(list.size()));
    return list;
}

TEST(CollectionMemory, AddSortAndFlags) {
    struct Case {
        std::vector<long> added, kept, sorted;
        bool is_sorted, is_unique;
    };
    const Case cases[] = {
        {{1, 3, 2}, {1, 3, 2}, {1, 2, 3}, false, false},
        {{5, 3, 1}, {1, 3, 5}, {1, 3, 5}, true, true},
        {{1, 2, 2, 3, 3}, {1, 2, 3}, {1, 2, 3}, true, true},
        {{2, 1, 2, 1}, {1, 2}, {1, 2}, true, true},
        {{4, 6, 4, 6, 5, 6}, {4, 6, 5, 6}, {4, 5, 6, 6}, false, false},
        {{}, {}, {}, true, true},
    };
    for (const Case& c : cases) {
        memory::CollectionMemory<long, 4> ids;
        for (long v : c.added) {
            ids.add(v);
        }
        EXPECT_EQ(values(ids), c.kept);
        EXPECT_TRUE(ids.is_sorted() == c.is_sorted && ids.is_unique() == c.is_unique);
        memory::CollectionMemory<long, 4> copy(ids);
        ids.sort();
        EXPECT_EQ(values(ids), c.sorted);
        EXPECT_TRUE(ids.is_sorted() && ids.is_unique() == c.is_unique);
        EXPECT_EQ(values(copy), c.kept); // a copy keeps elements and flags of its own
        EXPECT_TRUE(copy.is_sorted() == c.is_sorted && copy.is_unique() == c.is_unique);
        ids.clear();
        EXPECT_TRUE(ids.count() == 0 && ids.is_sorted() && ids.is_unique());
    }
}

// Compared by key only, as the search's matches are; the tag tells which of two equals survived.
struct RTagged {
    long key;
    int tag;
    bool operator<(const RTagged& other) const { return key < other.key; }
    bool operator==(const RTagged& other) const { return key == other.key; }
};

TEST(CollectionMemory, EqualElementsKeepTheRightOne) {
    memory::CollectionMemory<RTagged, 4> mine, theirs, mine_again, theirs_again;
    for (long key : {1, 3, 5, 7}) {
        mine.add({key, 1});
        mine_again.add({key, 1});
    }
    for (long key : {8, 5, 4, 3}) {
        theirs.add({key, 2});
        theirs_again.add({key, 2});
    }
    mine.merge(theirs);                 // the union; of equals, the one already here
    mine_again.intersect(theirs_again); // the result in the other set, with its own elements
    std::vector<std::pair<long, int>> merged, intersected;
    for (const RTagged& t : values(mine)) {
        merged.push_back({t.key, t.tag});
    }
    for (const RTagged& t : values(theirs_again)) {
        intersected.push_back({t.key, t.tag});
    }
    EXPECT_EQ(merged, (std::vector<std::pair<long, int>>{{1, 1}, {3, 1}, {4, 2}, {5, 1}, {7, 1}, {8, 2}}));
    EXPECT_EQ(intersected, (std::vector<std::pair<long, int>>{{3, 2}, {5, 2}}));
}

// Random inputs: the flags never lie, no distinct value is lost, and make_unique, intersect and
// merge give what the standard set algorithms give.
TEST(CollectionMemory, RandomSetAlgebraMatchesStd) {
    std::mt19937 random(3);
    for (int round = 0; round < 600; ++round) {
        memory::CollectionMemory<long, 4> a, b;
        std::multiset<long> added_a, added_b;
        long range = 1 + random() % 80;
        for (int i = random() % 60; i > 0; --i) {
            long v = random() % range;
            a.add(v);
            added_a.insert(v);
        }
        for (int i = random() % 60; i > 0; --i) {
            long v = random() % range;
            b.add(v);
            added_b.insert(v);
        }
        std::vector<long> got = values(a), expected;
        ASSERT_TRUE(!a.is_sorted() || std::is_sorted(got.begin(), got.end()));
        ASSERT_TRUE(!a.is_sorted() || !a.is_unique() ||
                    std::adjacent_find(got.begin(), got.end()) == got.end());
        std::set<long> set_a(added_a.begin(), added_a.end()), set_b(added_b.begin(), added_b.end());
        ASSERT_EQ(std::set<long>(got.begin(), got.end()), set_a);
        if (round % 3 == 0) {
            a.make_unique();
            ASSERT_EQ(values(a), std::vector<long>(set_a.begin(), set_a.end()));
        } else if (round % 3 == 1) {
            std::set_intersection(set_a.begin(), set_a.end(), set_b.begin(), set_b.end(),
                                  std::back_inserter(expected));
            a.intersect(b);
            ASSERT_EQ(values(b), expected);
        } else {
            std::set_union(set_a.begin(), set_a.end(), set_b.begin(), set_b.end(),
                           std::back_inserter(expected));
            a.merge(b);
            ASSERT_EQ(values(a), expected);
        }
    }
}

} // namespace
