#pragma once

namespace pelikant {

// Opens url (system code page) in the default browser; the outcome is not examined. Alone in its
// source file, so that a test program can link a definition of its own in its place and see every
// address instead of opening it.
void shell_open(const char* url);

} // namespace pelikant
