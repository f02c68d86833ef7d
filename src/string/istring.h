#pragma once

#include "memory/chunked.h"

#include <cstdint>

namespace string {

// What code needs to read any of the program's strings.
template <class T> class basic_istring {
public:
    virtual bool is_empty() const = 0;
    virtual std::int32_t length() const = 0;
    // Contiguous and zero-terminated; never null.
    virtual const T* c_str() const = 0;
    virtual memory::ChunkedIterator<T> begin() const = 0;
    virtual memory::ChunkedIterator<T> end() const = 0;
    virtual ~basic_istring() = default;

protected:
    basic_istring() = default;
    basic_istring(const basic_istring&) = default;
    basic_istring& operator=(const basic_istring&) = default;
};

} // namespace string
