#pragma once

// Calls of the global operator new since construction (heap_count.cpp replaces it).
class HeapCount {
public:
    HeapCount();
    long calls() const;

private:
    long start_;
};
