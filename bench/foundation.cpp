// Heap calls and time per operation of the foundation containers, next to the standard library
// doing the same work in the same run. Each timing is the best of several rounds.

#include "memory/chunked.h"
#include "memory/collection.h"
#include "string/basic_string.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace {

std::atomic<long> heap_calls{0};
volatile long sink = 0;

void* counted(std::size_t size) {
    heap_calls.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}

struct Figure {
    double calls = 0; // heap calls per operation
    double ns = 0;    // nanoseconds per operation
};

// Runs `work` (which does `ops` operations) `rounds` times; calls from the last round, best time.
template <class Work> Figure measure(int ops, int rounds, Work work) {
    Figure figure;
    figure.ns = 1e300;
    for (int round = 0; round < rounds; ++round) {
        long before = heap_calls.load();
        auto start = std::chrono::steady_clock::now();
        work();
        auto stop = std::chrono::steady_clock::now();
        figure.calls = double(heap_calls.load() - before) / ops;
        figure.ns = std::min(figure.ns, std::chrono::duration<double, std::nano>(stop - start).count() / ops);
    }
    return figure;
}

void row(const char* what, Figure ours, Figure standard) {
    std::printf("%-34s %12.3f %12.1f %12.3f %12.1f %8.2f\n", what, ours.calls, ours.ns, standard.calls,
                standard.ns, ours.ns / standard.ns);
}

void header(const char* title) {
    std::printf("\n%s\n%-34s %12s %12s %12s %12s %8s\n", title, "operation", "ours calls", "ours ns",
                "std calls", "std ns", "ratio");
}

void short_strings() {
    const int count = 100000;
    std::mt19937 random(1);
    std::vector<int> lengths(count);
    for (int& n : lengths) {
        n = 1 + random() % 255;
    }
    const std::string narrow(255, 'a');
    const std::wstring wide(255, L'\u0142');

    header("100,000 short strings (1 to 255 characters, one append each, then c_str)");
    Figure ours = measure(count, 5, [&] {
        for (int n : lengths) {
            string::basic_string<char> s;
            s.append(n, narrow.data());
            sink = sink + s.c_str()[n - 1];
        }
    });
    Figure standard = measure(count, 5, [&] {
        for (int n : lengths) {
            std::string s;
            s.append(narrow.data(), n);
            sink = sink + s.c_str()[n - 1];
        }
    });
    row("basic_string<char> vs std::string", ours, standard);
    ours = measure(count, 5, [&] {
        for (int n : lengths) {
            string::basic_string<wchar_t> s;
            s.append(n, wide.data());
            sink = sink + s.c_str()[n - 1];
        }
    });
    standard = measure(count, 5, [&] {
        for (int n : lengths) {
            std::wstring s;
            s.append(wide.data(), n);
            sink = sink + s.c_str()[n - 1];
        }
    });
    row("basic_string<wchar_t> vs wstring", ours, standard);
}

void big_document() {
    const int total = 8 << 20;
    std::mt19937 random(2);
    std::vector<int> blocks;
    for (int sum = 0; sum < total;) {
        int n = std::min(1024 + static_cast<int>(random() % (15 * 1024 + 1)), total - sum);
        blocks.push_back(n);
        sum += n;
    }
    const std::string source(16 * 1024, 'x');
    const int appends = static_cast<int>(blocks.size());

    header("8 MiB appended in blocks of 1 to 16 KiB, then made contiguous");
    int nodes = 0;
    Figure ours, linearized;
    for (int round = 0; round < 5; ++round) {
        memory::ChunkedMemory<char, 1024> doc;
        Figure append = measure(appends, 1, [&] {
            for (int n : blocks) {
                doc.append(n, source.data());
            }
        });
        nodes = 0;
        for (auto* node = doc.first_node(); node; node = node->next) {
            ++nodes;
        }
        Figure linearize = measure(1, 1, [&] { doc.linearize(0); });
        sink = sink + doc.data()[total - 1];
        if (round == 0 || append.ns < ours.ns) {
            ours = append;
        }
        if (round == 0 || linearize.ns < linearized.ns) {
            linearized = linearize;
        }
    }
    Figure standard = measure(appends, 5, [&] {
        std::string doc;
        for (int n : blocks) {
            doc.append(source.data(), n);
        }
        sink = sink + doc.data()[total - 1];
    });
    Figure vector = measure(appends, 5, [&] {
        std::vector<char> doc;
        for (int n : blocks) {
            doc.insert(doc.end(), source.data(), source.data() + n);
        }
        sink = sink + doc.data()[total - 1];
    });
    row("append: ChunkedMemory vs string", ours, standard);
    row("append: ChunkedMemory vs vector", ours, vector);
    std::printf(
        "%d appends made %d chunks: %.3f heap calls per chunk (%.3f per KiB); linearize(0): %.0f heap "
        "call(s) and one copy of 8 MiB in %.2f ms\n",
        appends, nodes, ours.calls * appends / nodes, ours.calls * appends / (total / 1024.0),
        linearized.calls, linearized.ns / 1e6);
}

void id_sets() {
    const int count = 100000;
    std::mt19937 random(3);
    std::vector<long> first(count), second(count);
    for (long& id : first) {
        id = random() % 400000;
    }
    for (long& id : second) {
        id = random() % 400000;
    }

    header("100,000 ids (random, with repeats): add, sort, make_unique, intersect");
    using Ids = memory::CollectionMemory<long, 256>;
    Figure add_ours, sort_ours, unique_ours, intersect_ours;
    Figure add_std, sort_std, unique_std, intersect_std;
    long kept_ours = 0, kept_std = 0;
    for (int round = 0; round < 5; ++round) {
        Ids a, b;
        Figure f = measure(2 * count, 1, [&] {
            for (int i = 0; i < count; ++i) {
                a.add(first[i]);
                b.add(second[i]);
            }
        });
        Figure s = measure(2 * count, 1, [&] {
            a.sort();
            b.sort();
        });
        Figure u = measure(2 * count, 1, [&] {
            a.make_unique();
            b.make_unique();
        });
        Figure x = measure(count, 1, [&] { a.intersect(b); });
        kept_ours = b.count();

        std::vector<long> va, vb, out;
        Figure fs = measure(2 * count, 1, [&] {
            for (int i = 0; i < count; ++i) {
                va.push_back(first[i]);
                vb.push_back(second[i]);
            }
        });
        Figure ss = measure(2 * count, 1, [&] {
            std::sort(va.begin(), va.end());
            std::sort(vb.begin(), vb.end());
        });
        Figure us = measure(2 * count, 1, [&] {
            va.erase(std::unique(va.begin(), va.end()), va.end());
            vb.erase(std::unique(vb.begin(), vb.end()), vb.end());
        });
        Figure xs = measure(count, 1, [&] {
            std::set_intersection(va.begin(), va.end(), vb.begin(), vb.end(), std::back_inserter(out));
        });
        kept_std = static_cast<long>(out.size());
        auto best = [round](Figure& into, const Figure& now) {
            if (round == 0 || now.ns < into.ns) {
                into = now;
            }
        };
        best(add_ours, f), best(sort_ours, s), best(unique_ours, u), best(intersect_ours, x);
        best(add_std, fs), best(sort_std, ss), best(unique_std, us), best(intersect_std, xs);
    }
    row("add vs vector::push_back", add_ours, add_std);
    row("sort vs std::sort", sort_ours, sort_std);
    row("make_unique vs std::unique+erase", unique_ours, unique_std);
    row("intersect vs std::set_intersection", intersect_ours, intersect_std);
    std::printf("intersection: %ld ids (std: %ld)\n", kept_ours, kept_std);
}

} // namespace

void* operator new(std::size_t size) {
    return counted(size);
}
void* operator new[](std::size_t size) {
    return counted(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return counted(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

int main() {
    std::printf("sizeof basic_string<char>: %zu, basic_string<wchar_t>: %zu, ChunkedMemory<char, 1024>: %zu, "
                "CollectionMemory<long, 256>: %zu bytes\n",
                sizeof(string::basic_string<char>), sizeof(string::basic_string<wchar_t>),
                sizeof(memory::ChunkedMemory<char, 1024>), sizeof(memory::CollectionMemory<long, 256>));
    short_strings();
    big_document();
    id_sets();
    return 0;
}
