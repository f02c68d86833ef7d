#include "app/tray.h"

namespace app {

BOOL WINAPI tray_notify(DWORD message, PNOTIFYICONDATAA data) { return Shell_NotifyIconA(message, data); }

} // namespace app
