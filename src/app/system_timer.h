#pragma once
#include <windows.h>

namespace app {

// SetTimer for window; 0 when the system gives no timer. Alone in its source file, so that a
// test build of the program can link a definition of its own in its place and refuse timers.
UINT_PTR set_system_timer(HWND window, UINT_PTR id, UINT period_ms);

} // namespace app
