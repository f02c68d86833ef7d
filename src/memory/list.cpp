#include "memory/list.h"

// The lists of the program, compiled once here so that every operation is checked.
template class memory::List<long, 1024>;
template class memory::List<void*, 1024>;
