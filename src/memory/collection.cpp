#include "memory/collection.h"

// The id sets of the program, compiled once here so that every operation is checked.
template class memory::CollectionMemory<long, 256>;
