#include "memory/heap_count.h"
#include "string/basic_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>
#include <string>
#include <vector>

namespace {

using wstring = string::basic_string<wchar_t, 256>;
using nstring = string::basic_string<char, 256>;

// 255 characters and the terminator fit the inline array; 256 need one array of 257 from the heap.
template <class T> void short_and_long() {
    for (int n : {0, 1, 255, 256}) {
        std::vector<T> text(n + 1, T('x'));
        string::basic_string<T, 256> s;
        HeapCount heap;
        s.append(n, text.data());
        const T* z = s.c_str();
        ASSERT_NE(z, nullptr);
        EXPECT_EQ(heap.calls(), n < 256 ? 0 : 1) << n;
        EXPECT_EQ(std::char_traits<T>::length(z), static_cast<size_t>(n));
        EXPECT_EQ(memory::IAllocatorRef<T>::header(s.chars().first_node()->data)->count, n < 256 ? 256 : 257);
    }
}

TEST(BasicString, CStrWithoutHeapUpTo255) {
    short_and_long<char>();
    short_and_long<wchar_t>();
    wstring s(L"Zażółć");
    EXPECT_EQ(std::wstring(s.c_str()), L"Zażółć");
    s.append(L" gęślą"); // overwrites the terminator
    s.push_back(L'!');
    EXPECT_EQ(std::wstring(s.c_str()), L"Zażółć gęślą!");
    EXPECT_TRUE(s.equals(L"Zażółć gęślą!") && !s.equals(L"Zażółć gęślą?") && s.length() == 13);
    nstring b("ab");
    char* buffer = b.write_buffer(300);
    EXPECT_EQ(buffer[2], '\0');
    std::memcpy(buffer + 2, "cdef", 4);
    b.resize(6);
    EXPECT_STREQ(b.c_str(), "abcdef");
}

// A text shared between threads is made contiguous once, before it is shared; from then on
// c_str() must only read, so several threads may call it at once.
TEST(BasicString, CStrOfASealedTextOnlyReads) {
    wstring s;
    for (int i = 0; i < 40; ++i) {
        s.append(std::wstring(L"kawałek ") + std::to_wstring(i)); // several pieces, several nodes
        s.prepend(1, L"<");
    }
    const wchar_t* sealed = s.c_str();
    const std::wstring expected(sealed);
    const auto* node = s.chars().first_node();
    const auto begin = node->begin, end = node->end;
    std::vector<std::thread> readers;
    std::vector<int> mismatches(4, 0);
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                const wchar_t* z = s.c_str();
                mismatches[t] += z != sealed || expected != z;
            }
        });
    }
    for (auto& reader : readers) {
        reader.join();
    }
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(mismatches[t], 0) << t;
    }
    EXPECT_EQ(s.chars().first_node(), node);
    EXPECT_EQ(s.chars().last_node(), node);
    EXPECT_EQ(node->begin, begin);
    EXPECT_EQ(node->end, end);
}

struct RRecord {
    int id;
    wstring title;
    nstring url;
};

TEST(BasicString, CopiesAreIndependent) {
    std::vector<RRecord> records;
    for (int i = 0; i < 20; ++i) {
        RRecord record{i, L"tytuł ", "http://x/"};
        record.title.append(std::wstring(300, L'a' + i));
        records.push_back(record); // copies, and copies again as the vector grows
    }
    std::vector<RRecord> copies = records;
    records[3].title = L"inny";
    records[3].url.clear();
    EXPECT_TRUE(records[3].title.equals(L"inny") && copies[3].url.equals("http://x/"));
    EXPECT_EQ(std::wstring(copies[3].title.c_str()), L"tytuł " + std::wstring(300, L'd'));
    EXPECT_TRUE(copies[19].title.owns_storage());

    nstring self("abcdef");
    self = self;
    self = self.c_str() + 2; // a view into its own characters
    EXPECT_TRUE(self.equals("cdef"));
    const std::string standard = "std";
    EXPECT_TRUE(nstring(string::weak_string<char>(standard)).equals("std"));
}

// Random edits against std::wstring with c_str() in between: the terminator never becomes part of
// the characters.
TEST(BasicString, RandomEditsMatchStdString) {
    std::mt19937 random(5);
    wstring s;
    std::wstring model;
    for (int step = 0; step < 3000; ++step) {
        std::wstring piece(random() % 40, L'a' + random() % 26);
        int from = model.empty() ? 0 : random() % model.size();
        int op = random() % 4;
        if (op == 0) {
            s.append(piece);
            model += piece;
        } else if (op == 1) {
            s.prepend(static_cast<int>(piece.size()), piece.data());
            model.insert(0, piece);
        } else if (op == 2) {
            s.erase(s.chars().position(from), s.end());
            model.erase(from);
        }
        ASSERT_EQ(std::wstring(s.c_str()), model);
        ASSERT_TRUE(s.equals(model));
    }
}

} // namespace
