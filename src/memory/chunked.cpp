#include "memory/chunked.h"

// The sequences of the program, compiled once here so that every operation is checked.
template class memory::SuperChunkedMemory<char>;
template class memory::SuperChunkedMemory<wchar_t>;
template class memory::SuperChunkedMemory<int>;
template class memory::SuperChunkedMemory<long>;
template class memory::ChunkedMemory<char, 128>;
template class memory::ChunkedMemory<char, 1024>;
template class memory::ChunkedMemory<int, 128>;
template class memory::ChunkedStorage<char, 256>;
template class memory::ChunkedStorage<wchar_t, 256>;
