#pragma once

#include "memory/heap.h"

#include <cstdint>
#include <new>
#include <type_traits>

namespace memory {

// Header of one block of slots. The inline block of an allocator leaves prev and next null.
template <class T> struct RBlock {
    T* slots;
    std::int32_t capacity;
    std::int32_t used;
    std::int32_t freed;
    T** free_stack;
    RBlock* prev;
    RBlock* next;
};

template <class T> class IBasicAllocator {
public:
    virtual ~IBasicAllocator() = default;
    virtual T* allocate() = 0;
    virtual void release(T* slot) = 0;
    virtual void trim() = 0;
};

// Pool of fixed-size records. T is a plain record whose last member is `RBlock<T>* block`: the pool
// writes it when a slot is first handed out and reads it on release; users never touch it.
//
// allocate() never returns null: when a new heap block cannot be had, heap_allocate throws
// std::bad_alloc (see memory/heap.h).
template <class T, std::int32_t FirstCount, std::int32_t BlockCount>
class BasicAllocator : public IBasicAllocator<T> {
    static_assert(FirstCount > 0 && BlockCount > 0, "a pool needs room for at least one record");
    static_assert(std::is_trivial<T>::value, "pooled records are never constructed nor destroyed");
    static_assert(alignof(T) <= alignof(std::max_align_t), "heap blocks are only max_align_t aligned");

public:
    BasicAllocator() noexcept {
        inline_.slots = inline_slots_;
        inline_.capacity = FirstCount;
        inline_.used = 0;
        inline_.freed = 0;
        inline_.free_stack = inline_stack_;
        inline_.prev = nullptr;
        inline_.next = nullptr;
    }
    // The inline block points into the object itself.
    BasicAllocator(const BasicAllocator&) = delete;
    BasicAllocator& operator=(const BasicAllocator&) = delete;

    // Heap blocks that still hold records stay allocated: owners release everything first.
    ~BasicAllocator() override {
        trim();
        inline_.used = 0;
        inline_.freed = 0;
    }

    T* allocate() override {
        if (current_->used == current_->capacity) {
            find_block();
        }
        RBlock<T>* block = current_;
        if (block->freed > 0) {
            ++block->used;
            --block->freed;
            return block->free_stack[block->freed];
        }
        T* slot = ::new (static_cast<void*>(block->slots + block->used)) T;
        slot->block = block;
        ++block->used;
        return slot;
    }

    void release(T* slot) override {
        if (!slot) {
            return;
        }
        RBlock<T>* block = slot->block;
        block->free_stack[block->freed++] = slot;
        --block->used;
    }

    void trim() override {
        RBlock<T>* block = first_;
        while (block) {
            RBlock<T>* next = block->next;
            if (block->used == 0) {
                if (current_ == block) {
                    current_ = &inline_;
                }
                if (cursor_ == block) {
                    cursor_ = next;
                }
                (block->prev ? block->prev->next : first_) = next;
                (next ? next->prev : last_) = block->prev;
                block->freed = 0;
                scratch_ = block;
                heap_free(scratch_);
                scratch_ = nullptr;
            }
            block = next;
        }
    }

    // Read-only view of the blocks, for diagnostics and tests.
    const RBlock<T>* inline_block() const { return &inline_; }
    const RBlock<T>* current_block() const { return current_; }
    const RBlock<T>* first_heap_block() const { return first_; }
    std::int32_t heap_block_count() const {
        std::int32_t count = 0;
        for (const RBlock<T>* block = first_; block; block = block->next) {
            ++count;
        }
        return count;
    }

private:
    static constexpr std::size_t slots_offset = priv::round_up(sizeof(RBlock<T>), alignof(T));
    static constexpr std::size_t stack_offset =
        priv::round_up(slots_offset + sizeof(T) * BlockCount, alignof(T*));
    static constexpr std::size_t block_bytes = stack_offset + sizeof(T*) * BlockCount;

    // The current block is full: the first heap block with a free slot from the cursor on, or a new one.
    void find_block() {
        RBlock<T>* block = cursor_ ? cursor_ : first_;
        while (block && block->used == block->capacity) {
            block = block->next;
        }
        if (block) {
            cursor_ = block;
            current_ = block;
            return;
        }
        cursor_ = last_;
        unsigned char* raw = static_cast<unsigned char*>(heap_allocate(block_bytes));
        scratch_ = ::new (static_cast<void*>(raw)) RBlock<T>;
        scratch_->slots = reinterpret_cast<T*>(raw + slots_offset);
        scratch_->capacity = BlockCount;
        scratch_->used = 0;
        scratch_->freed = 0;
        scratch_->free_stack = reinterpret_cast<T**>(raw + stack_offset);
        scratch_->prev = last_;
        scratch_->next = nullptr;
        (last_ ? last_->next : first_) = scratch_;
        last_ = scratch_;
        current_ = scratch_;
        scratch_ = nullptr;
    }

    T inline_slots_[FirstCount];
    T* inline_stack_[FirstCount];
    RBlock<T> inline_;
    RBlock<T>* current_ = &inline_;
    RBlock<T>* first_ = nullptr;
    RBlock<T>* last_ = nullptr;
    RBlock<T>* cursor_ = nullptr;
    RBlock<T>* scratch_ = nullptr;
};

} // namespace memory
