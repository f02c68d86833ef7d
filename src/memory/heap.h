#pragma once

#include <cstddef>

namespace memory {

// Every heap block, segment and array of the containers comes from here.
//
// Heap exhaustion throws std::bad_alloc, as operator new does. The callers of the allocators
// never check for null, so no allocator of this namespace hands one out: a request that cannot be
// satisfied (no memory, or a size beyond the 32-bit fields of the headers) ends in the throw.
void* heap_allocate(std::size_t bytes);
void heap_free(void* block) noexcept;
[[noreturn]] void heap_exhausted();

namespace priv {

constexpr std::size_t round_up(std::size_t value, std::size_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

} // namespace priv
} // namespace memory
