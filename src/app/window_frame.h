#pragma once
#include <windows.h>

namespace app {

// DwmSetWindowAttribute of a BOOL attribute for window. Alone in its source file, so that a test
// build of the program can link a definition of its own in its place and log what it is handed.
HRESULT set_frame_attribute(HWND window, DWORD attribute, BOOL on);

} // namespace app
