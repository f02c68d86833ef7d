#include "memory/chunked.h"
#include "memory/heap_count.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Sequence = memory::SuperChunkedMemory<char>;
using RNode = memory::priv::RChunkedMemoryNode<char>;

const memory::RArrayHeader<char>* head(const char* array) {
    return memory::IAllocatorRef<char>::header(array);
}

int node_count(const Sequence& m) {
    int count = 0;
    for (const RNode* node = m.first_node(); node; node = node->next) {
        ++count;
    }
    return count;
}

// What every operation keeps true: links, bounds, length, a spare inside the chain, disjoint regions
// per array with one reference per node, and segment counters that match the live arrays.
void check_chain(const Sequence& m) {
    std::map<char*, std::vector<std::pair<int, int>>> regions;
    const RNode* prev = nullptr;
    long total = 0;
    bool spare_found = m.spare_node() == nullptr;
    for (const RNode* node = m.first_node(); node; prev = node, node = node->next) {
        ASSERT_EQ(node->prev, prev);
        ASSERT_TRUE(node->region_start <= node->begin && node->begin <= node->end &&
                    node->end <= node->region_end);
        ASSERT_TRUE(node->begin < node->end || (m.length() == 0 && !node->prev && !node->next));
        total += node->end - node->begin;
        spare_found |= node == m.spare_node();
        regions[node->data].push_back({node->region_start, node->region_end});
    }
    ASSERT_TRUE(m.last_node() == prev && total == m.length() && spare_found);
    std::map<const memory::SegmentRef<char>*, long> used;
    for (auto& entry : regions) {
        auto& list = entry.second;
        std::sort(list.begin(), list.end());
        ASSERT_EQ(head(entry.first)->refs, static_cast<int>(list.size()));
        ASSERT_TRUE(list.front().first >= 0 && list.back().second <= head(entry.first)->count);
        for (size_t i = 1; i < list.size(); ++i) {
            ASSERT_LE(list[i - 1].second, list[i].first) << "overlapping regions";
        }
        used[head(entry.first)->segment] += head(entry.first)->count;
    }
    for (auto& entry : used) {
        ASSERT_EQ(entry.first->used, entry.second);
    }
}

std::string content(const Sequence& m) {
    std::string text;
    for (auto it = m.begin(); !it.is_end(); it.advance(it.available())) {
        text.append(&it.value(), it.available());
    }
    return text;
}

TEST(ChunkedMemory, ChunkBoundariesAndBorrowing) {
    memory::ChunkedMemory<char, 8> m;
    m.append(8, "abcdefgh");
    EXPECT_EQ(node_count(m), 1);
    m.push_back('i');
    EXPECT_EQ(node_count(m), 2);
    EXPECT_NE(m.first_node()->data, m.last_node()->data);

    memory::ChunkedMemory<char, 8> b; // room in front of the spare is lent, no new array
    b.prepend(3, "xyz");
    b.append(2, "12");
    EXPECT_EQ(node_count(b), 2);
    EXPECT_EQ(b.first_node()->data, b.last_node()->data);
    EXPECT_EQ(content(b), "xyz12");
}

TEST(ChunkedMemory, EraseInsideOneNodeSplitsAndSegmentRewinds) {
    memory::ChunkedMemory<char, 16> m;
    m.append(10, "0123456789");
    const memory::SegmentRef<char>* segment = head(m.data())->segment;
    auto to = m.position(6);
    EXPECT_EQ(m.erase(m.position(3), to), to);
    EXPECT_EQ(content(m), "0126789");
    EXPECT_EQ(node_count(m), 2);
    EXPECT_EQ(m.first_node()->data, m.last_node()->data);
    EXPECT_EQ(head(m.data())->refs, 2);
    m.erase(m.begin(), m.end());
    EXPECT_EQ(m.first_node(), nullptr);
    EXPECT_TRUE(segment->used == 0 && segment->next == segment->start);
}

TEST(ChunkedMemory, Linearize) {
    struct Case {
        const char *prepended, *appended;
        int extra, capacity, run_begin; // capacity 0: no node
    };
    const Case cases[] = {
        {"", "", 0, 0, 0},    {"", "", -3, 0, 0},    {"", "", 5, 16, 0}, {"", "", 40, 40, 0}, // empty
        {"ab", "", 1, 16, 0}, {"a", "b", 0, 15, 13}, // in the spare's room in front / behind
    };
    for (const Case& c : cases) {
        memory::ChunkedMemory<char, 16> m;
        m.prepend(static_cast<int>(std::strlen(c.prepended)), c.prepended);
        m.append(static_cast<int>(std::strlen(c.appended)), c.appended);
        const char* array = m.first_node() ? m.first_node()->data : nullptr;
        const bool reserved = c.capacity > 0 && m.length() == 0;
        HeapCount heap;
        m.linearize(c.extra);
        ASSERT_EQ(m.first_node() != nullptr, c.capacity > 0);
        EXPECT_EQ(m.data() != nullptr, c.capacity > 0);
        if (c.capacity > 0) {
            EXPECT_EQ(m.first_node()->region_end - m.first_node()->region_start, c.capacity);
            EXPECT_EQ(m.first_node()->begin, c.run_begin);
            EXPECT_EQ(heap.calls(), c.capacity > 16 ? 1 : 0);
            EXPECT_TRUE(!array || m.first_node()->data == array);
        }
        EXPECT_EQ(content(m), std::string(c.prepended) + c.appended);
        m.clear(); // a reserved empty node survives clear()
        EXPECT_EQ(m.first_node() != nullptr, reserved);
    }

    memory::ChunkedMemory<char, 16> m; // elements added unwritten keep what was written before
    m.linearize(5);
    std::memcpy(m.data(), "abcde", 5);
    m.resize(5);
    EXPECT_EQ(content(m), "abcde");

    memory::ChunkedMemory<char, 4> doc; // how documents reach the parser
    std::string text;
    for (int i = 0; i < 20; ++i) {
        std::string piece(1 + i % 7, char('a' + i));
        doc.append(static_cast<int>(piece.size()), piece.data());
        text += piece;
    }
    doc.push_back('\0');
    HeapCount heap;
    doc.linearize(0);
    EXPECT_EQ(heap.calls(), 1);
    EXPECT_EQ(std::string(doc.data()), text);
}

TEST(ChunkedMemory, CopiesOwnTheirStorage) {
    memory::ChunkedMemory<char, 8> m;
    m.append(20, "abcdefghijklmnopqrst");
    memory::ChunkedMemory<char, 8> copy(m), assigned;
    assigned.append(3, "xyz");
    assigned = m;
    m.erase(m.begin(), m.position(10));
    for (const memory::ChunkedMemory<char, 8>* s : {&copy, &assigned}) {
        EXPECT_EQ(content(*s), "abcdefghijklmnopqrst");
        EXPECT_TRUE(s->storage() != m.storage() && s->owns_storage());
    }
    memory::ChunkedStorage<char, 8> outside;
    Sequence borrowed(&outside);
    borrowed.assign(m);
    EXPECT_FALSE(borrowed.owns_storage());
    EXPECT_EQ(content(borrowed), "klmnopqrst");
}

// Random operations against a std::string, checked after every step: content, chain, positions,
// and the address of every element that an operation other than linearize/assign keeps.
template <int N> void random_operations(unsigned seed) {
    std::mt19937 random(seed);
    memory::ChunkedMemory<char, N> m;
    std::string model;
    std::vector<const char*> where;
    auto write = [](memory::ChunkedIterator<char> it, const std::string& s) {
        for (char c : s) {
            *it = c;
            it.next();
        }
    };
    for (int step = 0; step < 4000; ++step) {
        const int len = static_cast<int>(model.size());
        const int k = static_cast<int>(random() % (3 * N + 3));
        const int p = static_cast<int>(random() % (len + 1));
        const int q = p + static_cast<int>(random() % (len - p + 1));
        std::string s;
        for (int i = 0; i < k; ++i) {
            s += static_cast<char>('a' + random() % 26);
        }
        bool stable = true;
        int op = random() % 11;
        if (len > (step % 1000 < 400 ? 3 * N + 10 : 300) && op < 3) {
            op = 3; // short and long chains in turn
        }
        switch (op) {
        case 0:
            m.append(k, s.data());
            model += s;
            where.insert(where.end(), k, nullptr);
            break;
        case 1:
            m.prepend(k, s.data());
            model.insert(0, s);
            where.insert(where.begin(), k, nullptr);
            break;
        case 2: {
            auto placed = m.insert_space(m.position(p), k);
            ASSERT_EQ(placed, m.position(p));
            write(placed, s);
            model.insert(p, s);
            where.insert(where.begin() + p, k, nullptr);
            break;
        }
        case 3: {
            auto to = m.position(q);
            ASSERT_EQ(m.erase(m.position(p), to), to);
            model.erase(p, q - p);
            where.erase(where.begin() + p, where.begin() + q);
            break;
        }
        case 4:
            m.resize(p + k);
            write(m.position(len), s.substr(0, std::max(0, p + k - len)));
            model = model.substr(0, p + k) + s.substr(0, std::max(0, p + k - len));
            where.resize(p + k, nullptr);
            break;
        case 5:
            m.linearize(k);
            stable = false;
            ASSERT_EQ(m.first_node() == nullptr, len == 0 && k == 0);
            ASSERT_TRUE(!m.first_node() || (m.first_node() == m.last_node() &&
                                            m.last_node()->region_end - m.last_node()->end >= k));
            break;
        case 6:
            m.insert(m.position(p), '#');
            model.insert(p, 1, '#');
            where.insert(where.begin() + p, nullptr);
            break;
        case 7:
            m.prepend(k, nullptr);
            write(m.begin(), s);
            model.insert(0, s);
            where.insert(where.begin(), k, nullptr);
            break;
        case 8:
            if (random() % 8 == 0) {
                m.clear();
                model.clear();
                where.clear();
            }
            break;
        case 9:
            if (random() % 4 == 0) {
                memory::ChunkedMemory<char, N> copy(m);
                m.push_back('!');
                m = copy;
                stable = false;
            }
            break;
        default:
            m.push_back('z');
            model += 'z';
            where.push_back(nullptr);
            break;
        }
        ASSERT_NO_FATAL_FAILURE(check_chain(m)) << "step " << step << " op " << op;
        ASSERT_EQ(content(m), model) << "step " << step << " op " << op;
        const int n = m.length(), i = random() % (n + 1),
                  d = static_cast<int>(random() % (2 * n + 3)) - n - 1;
        if (i < n) {
            ASSERT_EQ(m.position(i).advance(d), i + d >= 0 && i + d < n ? m.position(i + d) : m.end());
        }
        ASSERT_EQ(m.advance(m.end(), i - n), m.position(i));
        std::vector<const char*> now;
        for (auto it = m.begin(); !it.is_end(); it.next()) {
            now.push_back(&it.value());
        }
        for (size_t e = 0; stable && e < where.size(); ++e) {
            ASSERT_TRUE(!where[e] || where[e] == now[e]) << "moved at step " << step << " op " << op;
        }
        where = now;
    }
}

TEST(ChunkedMemory, RandomOperationsMatchString) {
    random_operations<1>(1);
    random_operations<2>(2);
    random_operations<3>(3);
    random_operations<5>(5);
    random_operations<8>(8);
    random_operations<16>(16);
}

} // namespace
