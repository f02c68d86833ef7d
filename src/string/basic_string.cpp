#include "string/basic_string.h"

// The strings of the program, compiled once here so that every operation is checked.
template class string::super_string<char>;
template class string::super_string<wchar_t>;
template class string::basic_string<char, 256>;
template class string::basic_string<wchar_t, 256>;
