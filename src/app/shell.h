#pragma once

namespace app {

// Opens url (UTF-8) in the default browser; the outcome is not examined. Called on a thread in a
// single-threaded COM apartment, as the shell wants. Alone in its source file, so that a test
// program can link a definition of its own in its place and see every address instead of
// opening it.
void shell_open(const char* url);

} // namespace app
