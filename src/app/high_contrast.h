#pragma once

namespace app {

// Whether the user has high contrast on. Alone in its source file, so that a test build of the
// program can link a definition of its own in its place and switch it.
bool high_contrast();

} // namespace app
