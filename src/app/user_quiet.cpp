#include "app/user_quiet.h"

namespace app {

QUERY_USER_NOTIFICATION_STATE notification_state() {
    QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
    if (FAILED(SHQueryUserNotificationState(&state))) {
        return QUNS_ACCEPTS_NOTIFICATIONS;
    }
    return state;
}

} // namespace app
