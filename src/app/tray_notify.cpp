#include "app/tray_notify.h"

namespace app {

BOOL WINAPI tray_notify(DWORD message, PNOTIFYICONDATAW data) {
    return Shell_NotifyIconW(message, data);
}

} // namespace app
