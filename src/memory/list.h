#pragma once

#include "memory/basic_allocator.h"

#include <cstdint>
#include <type_traits>

namespace memory {

template <class T> class ListIterator;

// The chain itself; List adds the node pool and the count.
template <class T> class IList {
public:
    struct RNode {
        RNode* prev;
        RNode* next;
        T value;
        RBlock<RNode>* block;
    };

    virtual ~IList() = default;

    ListIterator<T> begin() const { return ListIterator<T>(first_); }
    ListIterator<T> last() const { return ListIterator<T>(last_); }
    ListIterator<T> end() const { return ListIterator<T>(); }

protected:
    IList() = default;
    IList(const IList&) = default;
    IList& operator=(const IList&) = default;

    RNode* first_ = nullptr;
    RNode* last_ = nullptr;
};

// A position in a list; the end position is the null node.
template <class T> class ListIterator {
public:
    using RNode = typename IList<T>::RNode;

    ListIterator() = default;
    explicit ListIterator(RNode* node) : node_(node) {}
    ListIterator(const ListIterator&) = default;
    ListIterator& operator=(const ListIterator&) = default;
    virtual ~ListIterator() = default;

    T& value() const { return node_->value; }
    ListIterator& next() {
        node_ = node_->next;
        return *this;
    }
    RNode* node() const { return node_; }

    T& operator*() const { return node_->value; }
    ListIterator& operator++() { return next(); }
    bool operator==(const ListIterator& other) const { return node_ == other.node_; }
    bool operator!=(const ListIterator& other) const { return node_ != other.node_; }

private:
    RNode* node_ = nullptr;
};

// Doubly linked list of plain values whose nodes come from a pool inside the list: the first N
// nodes cost no heap call. Pointer values are not owned.
template <class T, std::int32_t N> class List : public IList<T> {
    static_assert(std::is_trivial<T>::value, "list values are copied bitwise and never destroyed");

public:
    using RNode = typename IList<T>::RNode;
    using iterator = ListIterator<T>;

    List() = default;
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    ~List() override { clear(); }

    void push_back(const T& value) {
        scratch_ = pool_.allocate();
        scratch_->prev = this->last_;
        scratch_->next = nullptr;
        scratch_->value = value;
        (this->last_ ? this->last_->next : this->first_) = scratch_;
        this->last_ = scratch_;
        scratch_ = nullptr;
        ++count_;
    }

    void push_back_all(std::int32_t count, const T* values) {
        for (std::int32_t i = 0; i < count; ++i) {
            push_back(values[i]);
        }
    }

    // Only on a non-empty list.
    T pop_front() {
        RNode* node = this->first_;
        T value = node->value;
        this->first_ = node->next;
        (this->first_ ? this->first_->prev : this->last_) = nullptr;
        pool_.release(node);
        --count_;
        return value;
    }

    // Removes [from, to); `to` must be reachable from `from`.
    iterator erase(iterator from, iterator to) {
        RNode* node = from.node();
        RNode* stop = to.node();
        if (node == stop) {
            return to;
        }
        RNode* before = node->prev;
        while (node && node != stop) {
            RNode* next = node->next;
            pool_.release(node);
            --count_;
            node = next;
        }
        (before ? before->next : this->first_) = stop;
        (stop ? stop->prev : this->last_) = before;
        return to;
    }

    iterator erase(iterator it) {
        if (!it.node()) {
            return it;
        }
        return erase(it, iterator(it.node()->next));
    }

    void clear() {
        if (count_ == 0) {
            return;
        }
        for (RNode* node = this->first_; node;) {
            RNode* next = node->next;
            pool_.release(node);
            node = next;
        }
        this->first_ = nullptr;
        this->last_ = nullptr;
        count_ = 0;
    }

    std::int32_t count() const { return count_; }
    const BasicAllocator<RNode, N, 4 * N>& node_pool() const { return pool_; }

private:
    RNode* scratch_ = nullptr;
    BasicAllocator<RNode, N, 4 * N> pool_;
    std::int32_t count_ = 0;
};

} // namespace memory
