#include "app/user_quiet.h"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

namespace app {

bool user_wants_quiet() {
    QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
    // A system that cannot tell lets balloons through, as before.
    if (FAILED(SHQueryUserNotificationState(&state))) {
        return false;
    }
    return state == QUNS_PRESENTATION_MODE || state == QUNS_RUNNING_D3D_FULL_SCREEN || state == QUNS_BUSY;
}

} // namespace app
