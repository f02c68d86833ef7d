#pragma once

namespace app {

// Opens url (UTF-8) in the default browser; false when the shell could not (no browser is
// associated, an address that is no UTF-8). Called on a thread in a single-threaded COM
// apartment, as the shell wants. Alone in its source file, so that a test program can link a
// definition of its own in its place and see every address instead of opening it.
bool shell_open(const char* url);

} // namespace app
