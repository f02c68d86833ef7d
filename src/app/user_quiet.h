#pragma once
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

namespace app {

// The system's notification state (SHQueryUserNotificationState); QUNS_ACCEPTS_NOTIFICATIONS
// where it cannot tell, so that balloons go through as before. Alone in its source file, so that a
// test build of the program can link a definition of its own in its place.
QUERY_USER_NOTIFICATION_STATE notification_state();

// Whether balloons wait in state: while the user presents, plays full screen or is busy, while
// nobody is there to read them (a locked screen, another user's session in front) and in a new
// account's first hour, when the shell drops balloons that keep its quiet time.
inline bool holds_balloons(QUERY_USER_NOTIFICATION_STATE state) {
    switch (state) {
    case QUNS_NOT_PRESENT:
    case QUNS_BUSY:
    case QUNS_RUNNING_D3D_FULL_SCREEN:
    case QUNS_PRESENTATION_MODE:
    case QUNS_QUIET_TIME:
        return true;
    default:
        return false;
    }
}

inline bool user_wants_quiet() {
    return holds_balloons(notification_state());
}

} // namespace app
