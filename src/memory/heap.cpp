#include "memory/heap.h"

#include <new>

namespace memory {

void* heap_allocate(std::size_t bytes) {
    return ::operator new(bytes);
}

void heap_free(void* block) noexcept {
    ::operator delete(block);
}

void heap_exhausted() {
    throw std::bad_alloc();
}

} // namespace memory
