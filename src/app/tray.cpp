#include "app/tray.h"

namespace app {

BOOL WINAPI tray_notify(DWORD message, PNOTIFYICONDATAW data) {
    return Shell_NotifyIconW(message, data);
}

} // namespace app
