#pragma once

#include "memory/allocator_ref.h"
#include "memory/basic_allocator.h"
#include "memory/heap.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace memory {

namespace priv {

// One chunk: the elements [begin, end) of `data`, which it may grow within [region_start, region_end).
template <class T> struct RChunkedMemoryNode {
    T* data;
    std::int32_t region_start;
    std::int32_t region_end;
    std::int32_t begin;
    std::int32_t end;
    RChunkedMemoryNode* prev;
    RChunkedMemoryNode* next;
    RBlock<RChunkedMemoryNode>* block;
};

} // namespace priv

template <class T> class IChunkedStorage {
public:
    using RNode = priv::RChunkedMemoryNode<T>;

    virtual ~IChunkedStorage() = default;
    virtual IBasicAllocator<RNode>& node_allocator() = 0;
    virtual IAllocatorRef<T>& array_allocator() = 0;
    virtual std::int32_t chunk_size() const = 0;
};

// The first 64 nodes and the first array of N elements live inside the object.
template <class T, std::int32_t N> class ChunkedStorage : public IChunkedStorage<T> {
    static_assert(N > 0, "chunks need a capacity");

public:
    using RNode = priv::RChunkedMemoryNode<T>;

    ChunkedStorage() = default;
    ChunkedStorage(const ChunkedStorage&) = delete;
    ChunkedStorage& operator=(const ChunkedStorage&) = delete;

    IBasicAllocator<RNode>& node_allocator() override { return nodes_; }
    IAllocatorRef<T>& array_allocator() override { return arrays_; }
    std::int32_t chunk_size() const override { return N; }

private:
    BasicAllocator<RNode, 64, 256> nodes_;
    AllocatorRef<T, N, N> arrays_;
};

// A position in a sequence: (node, index into the node's array); the end position is (null, -1).
template <class T> class ChunkedIterator {
public:
    using RNode = priv::RChunkedMemoryNode<T>;

    ChunkedIterator() = default;
    ChunkedIterator(RNode* node, std::int32_t index) : node_(node), index_(node ? index : -1) {}

    RNode* node() const { return node_; }
    std::int32_t index() const { return index_; }
    bool is_end() const { return node_ == nullptr; }
    // Elements from here to the end of this node, all contiguous.
    std::int32_t available() const { return node_ ? node_->end - index_ : 0; }

    T& value() const { return node_->data[index_]; }
    T& operator*() const { return node_->data[index_]; }
    T* operator->() const { return node_->data + index_; }

    ChunkedIterator& next() {
        if (++index_ == node_->end) {
            enter(node_->next);
        }
        return *this;
    }
    // Before the first element gives the end position.
    ChunkedIterator& prev() {
        if (index_-- == node_->begin) {
            leave(node_->prev);
        }
        return *this;
    }
    // Forward for k > 0, back for k < 0; walking off either side gives the end position.
    ChunkedIterator& advance(std::int32_t k) {
        while (k > 0 && node_) {
            std::int32_t ahead = node_->end - index_;
            if (k < ahead) {
                index_ += k;
                return *this;
            }
            k -= ahead;
            enter(node_->next);
        }
        while (k < 0 && node_) {
            std::int32_t behind = index_ - node_->begin;
            if (k + behind >= 0) {
                index_ += k;
                return *this;
            }
            k += behind + 1;
            leave(node_->prev);
        }
        return *this;
    }

    ChunkedIterator& operator++() { return next(); }
    ChunkedIterator& operator--() { return prev(); }
    bool operator==(const ChunkedIterator& other) const {
        return node_ == other.node_ && index_ == other.index_;
    }
    bool operator!=(const ChunkedIterator& other) const { return !(*this == other); }

private:
    // Positions exist only in non-empty sequences, whose nodes all hold elements.
    void enter(RNode* node) {
        node_ = node;
        index_ = node ? node->begin : -1;
    }
    void leave(RNode* node) {
        node_ = node;
        index_ = node ? node->end - 1 : -1;
    }

    RNode* node_ = nullptr;
    std::int32_t index_ = -1;
};

// A sequence of T kept as a chain of chunks that never moves its elements when it grows at either
// end. Contiguity is made on request by linearize().
//
// Nodes sharing one array belong to one sequence and their regions never overlap. The only node
// that may hold no element is a lone node of an empty sequence (reserved capacity).
//
// The storage is not owned and must outlive the sequence.
template <class T> class SuperChunkedMemory {
    static_assert(std::is_trivially_copyable<T>::value, "elements are copied bitwise");

public:
    using RNode = priv::RChunkedMemoryNode<T>;
    using iterator = ChunkedIterator<T>;

    explicit SuperChunkedMemory(IChunkedStorage<T>* storage) noexcept : storage_(storage) {}
    // A copy would need a storage of its own; see ChunkedMemory.
    SuperChunkedMemory(const SuperChunkedMemory&) = delete;
    SuperChunkedMemory& operator=(const SuperChunkedMemory& other) {
        assign(other);
        return *this;
    }
    virtual ~SuperChunkedMemory() { drop_chain(); }

    // Element hooks.
    virtual void construct_range(T*, std::int32_t) {}
    virtual void fill(T* dst, std::int32_t n, const T* value) {
        for (std::int32_t i = 0; i < n; ++i) {
            dst[i] = *value;
        }
    }
    virtual void copy(T* dst, const T* src, std::int32_t n) {
        if (src && n > 0) {
            std::memcpy(static_cast<void*>(dst), static_cast<const void*>(src), sizeof(T) * n);
        }
    }
    virtual void move(T* dst, const T* src, std::int32_t n) { copy(dst, src, n); }
    virtual void destroy_range(T*, std::int32_t) {}
    virtual bool owns_storage() const { return false; }

    std::int32_t length() const { return length_; }
    IChunkedStorage<T>* storage() const { return storage_; }

    // A non-empty sequence holds no empty node, so its ends are the ends of its first and last nodes.
    iterator begin() const { return length_ > 0 ? iterator(first_, first_->begin) : iterator(); }
    iterator last() const { return length_ > 0 ? iterator(last_, last_->end - 1) : iterator(); }
    iterator end() const { return iterator(); }
    // Element number `index`; the end position at or past the length.
    iterator position(std::int32_t index) const {
        if (index < 0 || index >= length_) {
            return iterator();
        }
        return begin().advance(index);
    }
    // Like iterator::advance, but stepping back from the end position reaches the last element.
    iterator advance(iterator at, std::int32_t k) const {
        if (at.is_end()) {
            if (k >= 0) {
                return at;
            }
            at = last();
            ++k;
        }
        return at.advance(k);
    }

    void append(std::int32_t n, const T* src) { append_at(n, src); }
    void push_back(const T& value) { append_at(1, &value); }

    // The n elements of src go in front of the first element, in their order.
    void prepend(std::int32_t n, const T* src) {
        if (n <= 0) {
            return;
        }
        if (!first_) {
            RNode* node = new_node(n);
            first_ = last_ = node;
            put_top(node, src, n);
            return;
        }
        RNode* head = first_;
        if (head->begin == head->end) {
            head->begin = head->end = head->region_end;
        }
        grow_front(head, n, src);
    }

    // Room for n unwritten elements before `at`; existing elements stay where they are. Returns the
    // position of the first new element.
    iterator insert_space(iterator at, std::int32_t n) {
        if (at.is_end()) {
            return append_at(n, nullptr);
        }
        if (n <= 0) {
            return at;
        }
        RNode* filled = at.node();
        split(filled, at.index());
        filled = grow_front(filled, n, nullptr);
        return iterator(filled, filled->begin);
    }

private:
    // Puts n elements (the last ones of src first; unwritten when src is null) in front of head:
    // its free room, then room borrowed from the spare node, then a new node, each linked in front
    // of the one filled before. Returns the node that now holds the first new element.
    RNode* grow_front(RNode* head, std::int32_t n, const T* src) {
        std::int32_t k = std::min(n, head->begin - head->region_start);
        if (k > 0) {
            head->begin -= k;
            put(head->data + head->begin, src ? src + n - k : nullptr, k);
            n -= k;
        }
        while (n > 0) {
            std::int32_t got = borrow(n);
            if (got == 0) {
                break;
            }
            RNode* node = scratch_;
            node->begin = node->end = node->region_end;
            link_before(node, head);
            put_top(node, src ? src + n - got : nullptr, got);
            head = node;
            n -= got;
        }
        if (n > 0) {
            RNode* node = new_node(n);
            link_before(node, head);
            put_top(node, src, n);
            head = node;
        }
        return head;
    }

public:
    iterator insert(iterator at, const T& value) {
        iterator placed = insert_space(at, 1);
        copy(&placed.value(), &value, 1);
        return placed;
    }

    // Removes [from, to); `to` must not come before `from`. Returns `to`, still valid.
    iterator erase(iterator from, iterator to) {
        if (from.is_end() || from == to) {
            return to;
        }
        RNode* node = from.node();
        split(node, from.index());
        RNode* stop = nullptr;
        if (!to.is_end()) {
            RNode* front = split(to.node(), to.index());
            if (front && to.node() == node) {
                node = front;
            }
            stop = to.node();
        }
        while (node != stop) {
            RNode* next = node->next;
            unlink(node);
            free_node(node);
            node = next;
        }
        return to;
    }

    void resize(std::int32_t n) {
        n = std::max(n, 0);
        if (n > length_) {
            insert_space(end(), n - length_);
        } else if (n < length_) {
            erase(position(n), end());
        }
    }

    // A lone empty node (reserved capacity) of an empty sequence stays.
    void clear() {
        if (length_ > 0) {
            release_nodes();
        }
        trim_storage();
    }

    void assign(const SuperChunkedMemory& other) {
        if (&other != this) {
            assign(other.begin(), other.length());
        }
    }
    // Makes the sequence a copy of `count` elements from `from` on, which must not lie in this sequence.
    void assign(iterator from, std::int32_t count) {
        drop_chain();
        if (count <= 0 || from.is_end()) {
            return;
        }
        RNode* node = new_node(count);
        first_ = last_ = node;
        while (count > 0 && !from.is_end()) {
            std::int32_t piece = std::min(count, from.available());
            put(node->data + node->end, &from.value(), piece);
            node->end += piece;
            count -= piece;
            from.advance(piece);
        }
    }

    // Makes the elements one contiguous run with at least `extra` free elements behind it.
    void linearize(std::int32_t extra) {
        extra = std::max(extra, 0);
        if (!first_) {
            if (extra > 0) {
                first_ = last_ = new_node(extra);
            }
            return;
        }
        if (first_ == last_ && first_->region_end - first_->end >= extra) {
            return;
        }
        if (static_cast<std::int64_t>(length_) + extra > std::numeric_limits<std::int32_t>::max()) {
            heap_exhausted();
        }
        std::int32_t need = length_ + extra;
        RNode* spare = spare_;
        RNode* run;
        if (spare && spare->begin - spare->region_start >= need) {
            run = share(spare);
            run->region_start = spare->region_start;
            run->region_end = spare->region_end;
            run->begin = spare->region_start;
        } else if (spare && spare->region_end - spare->end >= need) {
            run = share(spare);
            run->region_start = spare->region_start;
            run->region_end = spare->region_end;
            run->begin = spare->region_end - need;
        } else {
            run = new_node(need);
        }
        run->end = run->begin;
        for (RNode* node = first_; node; node = node->next) {
            std::int32_t count = node->end - node->begin;
            move(run->data + run->end, node->data + node->begin, count);
            run->end += count;
        }
        std::int32_t length = length_;
        drop_chain();
        run->prev = run->next = nullptr;
        first_ = last_ = spare_ = run;
        length_ = length;
    }

    // First element of the first node; after linearize() all elements follow it.
    T* data() const { return first_ ? first_->data + first_->begin : nullptr; }

    // The chain, read-only, for code that walks chunks (writing to a file) and for tests.
    const RNode* first_node() const { return first_; }
    const RNode* last_node() const { return last_; }
    const RNode* spare_node() const { return spare_; }

    // Points an empty sequence at its storage: owners embedding the storage set it once built.
    void set_storage(IChunkedStorage<T>* storage) { storage_ = storage; }
    // Gives back every node and array and forgets the storage, for owners that destroy the storage
    // before this sequence.
    void release_storage() {
        drop_chain();
        storage_ = nullptr;
    }

private:
    IBasicAllocator<RNode>& nodes() const { return storage_->node_allocator(); }
    IAllocatorRef<T>& arrays() const { return storage_->array_allocator(); }

    iterator append_at(std::int32_t n, const T* src) {
        if (n <= 0) {
            return end();
        }
        if (!first_) {
            RNode* node = new_node(n);
            first_ = last_ = node;
            put_bottom(node, src, n);
            return iterator(node, node->begin);
        }
        iterator placed;
        RNode* tail = last_;
        if (tail->begin == tail->end) {
            tail->begin = tail->end = tail->region_start;
        }
        std::int32_t k = std::min(n, tail->region_end - tail->end);
        if (k > 0) {
            placed = iterator(tail, tail->end);
            put_bottom(tail, src, k);
            n -= k;
            src = src ? src + k : nullptr;
        }
        while (n > 0) {
            std::int32_t got = borrow(n);
            if (got == 0) {
                break;
            }
            RNode* node = scratch_;
            node->begin = node->end = node->region_start;
            link_after(node, last_);
            put_bottom(node, src, got);
            if (placed.is_end()) {
                placed = iterator(node, node->begin);
            }
            n -= got;
            src = src ? src + got : nullptr;
        }
        if (n > 0) {
            RNode* node = new_node(n);
            link_after(node, last_);
            put_bottom(node, src, n);
            if (placed.is_end()) {
                placed = iterator(node, node->begin);
            }
        }
        return placed;
    }

    // Writes n elements at the node's end / in front of its begin; src null leaves them unwritten.
    void put_bottom(RNode* node, const T* src, std::int32_t n) {
        put(node->data + node->end, src, n);
        node->end += n;
    }
    void put_top(RNode* node, const T* src, std::int32_t n) {
        if (node->begin == node->end) {
            node->begin = node->end = node->region_end;
        }
        node->begin -= n;
        put(node->data + node->begin, src, n);
    }
    void put(T* dst, const T* src, std::int32_t n) {
        construct_range(dst, n);
        copy(dst, src, n);
        length_ += n;
    }

    // A node with a fresh array of max(n, chunk_size()) elements; it becomes the spare node.
    RNode* new_node(std::int32_t n) {
        std::int32_t capacity = std::max(n, storage_->chunk_size());
        T* data = arrays().allocate(capacity);
        try {
            scratch_ = nodes().allocate();
        } catch (...) {
            arrays().release(data);
            throw;
        }
        scratch_->data = data;
        scratch_->region_start = 0;
        scratch_->region_end = capacity;
        scratch_->begin = scratch_->end = 0;
        scratch_->prev = scratch_->next = nullptr;
        spare_ = scratch_;
        return scratch_;
    }

    // A node record holding one more reference to the array of `owner`; regions are up to the caller.
    RNode* share(RNode* owner) {
        scratch_ = nodes().allocate();
        scratch_->data = arrays().add_ref(owner->data);
        scratch_->prev = scratch_->next = nullptr;
        return scratch_;
    }

    // Lends free room of the spare node to a new node left in scratch_; returns how much of `want`
    // it can take (0 when the spare has no room).
    std::int32_t borrow(std::int32_t want) {
        RNode* spare = spare_;
        if (want <= 0 || !spare) {
            return 0;
        }
        std::int32_t front = spare->begin - spare->region_start;
        std::int32_t back = spare->region_end - spare->end;
        // Callers fill a lone empty node before borrowing, so the spare always holds elements here.
        if (front > 0) {
            std::int32_t lent = (front < want || back <= 0) ? front : want;
            RNode* node = share(spare);
            node->region_start = spare->region_start;
            node->region_end = spare->region_start + lent;
            spare->region_start += lent;
            if (back <= 0) {
                spare_ = node;
            }
            return std::min(front, want);
        }
        if (back > 0) {
            RNode* node = share(spare);
            node->region_start = spare->end;
            node->region_end = spare->region_end;
            spare->region_end = spare->end;
            spare_ = node;
            return std::min(back, want);
        }
        return 0;
    }

    // Makes `index` the begin of `node`; the elements before it go to a new node linked in front,
    // which is returned (null when there was nothing to split).
    RNode* split(RNode* node, std::int32_t index) {
        if (index == node->begin) {
            return nullptr;
        }
        RNode* front = share(node);
        front->region_start = node->region_start;
        front->region_end = index;
        front->begin = node->begin;
        front->end = index;
        node->region_start = index;
        node->begin = index;
        link_before(front, node);
        return front;
    }

    void link_before(RNode* node, RNode* at) {
        node->next = at;
        node->prev = at->prev;
        (at->prev ? at->prev->next : first_) = node;
        at->prev = node;
    }
    void link_after(RNode* node, RNode* at) {
        node->prev = at;
        node->next = at->next;
        (at->next ? at->next->prev : last_) = node;
        at->next = node;
    }
    void unlink(RNode* node) {
        (node->prev ? node->prev->next : first_) = node->next;
        (node->next ? node->next->prev : last_) = node->prev;
    }

    void free_node(RNode* node) {
        std::int32_t count = node->end - node->begin;
        length_ -= count;
        destroy_range(node->data + node->begin, count);
        arrays().release(node->data);
        if (spare_ == node) {
            spare_ = nullptr;
        }
        nodes().release(node);
    }

    void release_nodes() {
        for (RNode* node = first_; node;) {
            RNode* next = node->next;
            free_node(node);
            node = next;
        }
        first_ = last_ = spare_ = nullptr;
        length_ = 0;
    }

    void trim_storage() {
        if (storage_) {
            arrays().trim();
            nodes().trim();
        }
    }

    // Like clear(), but a reserved empty node goes too.
    void drop_chain() {
        if (first_) {
            release_nodes();
        }
        trim_storage();
    }

    RNode* first_ = nullptr;
    RNode* last_ = nullptr;
    RNode* scratch_ = nullptr;
    RNode* spare_ = nullptr;
    std::int32_t length_ = 0;
    IChunkedStorage<T>* storage_;
};

namespace priv {

template <class T, std::int32_t N> class InternalChunkedMemory {
protected:
    InternalChunkedMemory() = default;
    InternalChunkedMemory(const InternalChunkedMemory&) = delete;
    InternalChunkedMemory& operator=(const InternalChunkedMemory&) = delete;

    ChunkedStorage<T, N> internal_storage_;
};

} // namespace priv

// A sequence with its own storage: the first array of N elements and the first 64 nodes cost no
// heap call. Copies get their own storage.
template <class T, std::int32_t N>
class ChunkedMemory : public SuperChunkedMemory<T>, private priv::InternalChunkedMemory<T, N> {
public:
    ChunkedMemory() : SuperChunkedMemory<T>(nullptr) { this->set_storage(&this->internal_storage_); }
    ChunkedMemory(const ChunkedMemory& other) : ChunkedMemory() { this->assign(other); }
    ChunkedMemory& operator=(const ChunkedMemory& other) {
        this->assign(other);
        return *this;
    }
    ChunkedMemory& operator=(const SuperChunkedMemory<T>& other) {
        this->assign(other);
        return *this;
    }
    // The storage base dies before the sequence base: give everything back while it is alive.
    ~ChunkedMemory() override { this->release_storage(); }

    bool owns_storage() const override { return true; }
};

} // namespace memory
