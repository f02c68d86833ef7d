#pragma once

#include "memory/chunked.h"

#include <algorithm>
#include <cstdint>

namespace memory {

// A set kept in a chunked sequence. Order is T's operator<, equality its operator==. `sorted` and
// `unique` say what is known of the elements, so that sort() and make_unique() run only when needed.
template <class T, std::int32_t N> class CollectionMemory {
public:
    using iterator = ChunkedIterator<T>;

    CollectionMemory() = default;
    CollectionMemory(const CollectionMemory& other)
        : elements_(other.elements_), sorted_(other.sorted_), unique_(other.unique_) {}
    CollectionMemory& operator=(const CollectionMemory& other) {
        elements_.assign(other.elements_);
        sorted_ = other.sorted_;
        unique_ = other.unique_;
        return *this;
    }
    virtual ~CollectionMemory() = default;

    // Ascending input, and input below the first element, keep the set sorted and unique for free.
    void add(const T& value) {
        if (sorted_ && elements_.length() > 0) {
            const T& last = elements_.last().value();
            if (value < last) {
                const T& first = elements_.begin().value();
                if (first < value) {
                    elements_.push_back(value);
                    sorted_ = 0;
                    unique_ = 0;
                } else if (!(value == first)) {
                    elements_.prepend(1, &value);
                }
                return;
            }
            if (value == last) {
                return;
            }
        }
        elements_.push_back(value);
    }

    void sort() {
        std::int32_t n = elements_.length();
        if (!sorted_ && n > 1) {
            elements_.linearize(0);
            T* data = elements_.data();
            std::sort(data, data + n);
        }
        sorted_ = 1;
    }

    // Keeps the first element of every run of equal elements.
    void make_unique() {
        std::int32_t n = elements_.length();
        if (unique_ || n < 2) {
            unique_ = 1;
            return;
        }
        sort();
        elements_.linearize(0);
        T* data = elements_.data();
        std::int32_t kept = 1;
        for (std::int32_t i = 1; i < n; ++i) {
            if (!(data[i] == data[kept - 1])) {
                data[kept++] = data[i];
            }
        }
        elements_.resize(kept);
        unique_ = 1;
    }

    // Leaves in `other` its elements that have an equal here, once each.
    void intersect(CollectionMemory& other) {
        if (&other == this) {
            make_unique();
            return;
        }
        sort();
        other.sort();
        elements_.linearize(0);
        other.unique_ = 0;
        other.elements_.linearize(0);
        const T* mine = elements_.data();
        std::int32_t n = elements_.length();
        T* theirs = other.elements_.data();
        std::int32_t m = other.elements_.length();
        std::int32_t i = 0;
        std::int32_t kept = 0;
        for (std::int32_t j = 0; j < m; ++j) {
            while (i < n && mine[i] < theirs[j]) {
                ++i;
            }
            if (i == n) {
                break;
            }
            if (mine[i] == theirs[j]) {
                theirs[kept++] = theirs[j];
            }
        }
        other.elements_.resize(kept);
        other.make_unique();
    }

    // Makes this set the union of both; of equal elements the one already here comes first and stays.
    void merge(CollectionMemory& other) {
        if (&other == this) {
            make_unique();
            return;
        }
        sort();
        other.sort();
        other.elements_.linearize(0);
        unique_ = 0;
        std::int32_t n = elements_.length();
        std::int32_t m = other.elements_.length();
        if (m > 0) {
            // Both runs contiguous and merged from the back, so each element of `other` lands
            // behind every element here that is not greater than it.
            elements_.linearize(m);
            elements_.resize(n + m);
            T* data = elements_.data();
            const T* theirs = other.elements_.data();
            std::int32_t i = n - 1;
            std::int32_t j = m - 1;
            for (std::int32_t k = n + m - 1; j >= 0; --k) {
                if (i >= 0 && theirs[j] < data[i]) {
                    data[k] = data[i--];
                } else {
                    data[k] = theirs[j--];
                }
            }
        }
        make_unique();
    }

    std::int32_t count() const { return elements_.length(); }
    iterator begin() const { return elements_.begin(); }
    iterator end() const { return elements_.end(); }
    void clear() {
        elements_.clear();
        sorted_ = 1;
        unique_ = 1;
    }

    bool is_sorted() const { return sorted_ != 0; }
    bool is_unique() const { return unique_ != 0; }
    const ChunkedMemory<T, N>& elements() const { return elements_; }

private:
    ChunkedMemory<T, N> elements_;
    std::uint8_t sorted_ = 1;
    std::uint8_t unique_ = 1;
};

} // namespace memory
