// The same counting operator new for this test executable.
#include "memory/heap_count.cpp"
