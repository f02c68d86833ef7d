#pragma once
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

namespace app {

// Hands the tray record to the shell. Alone in its source file, so that a test build of the
// program can link a definition of its own in its place and see every record.
BOOL WINAPI tray_notify(DWORD message, PNOTIFYICONDATAW data);

} // namespace app
