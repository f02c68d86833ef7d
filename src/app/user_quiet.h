#pragma once

namespace app {

// Whether the user is presenting, in a full-screen program or otherwise busy, as the system's
// notification state says (SHQueryUserNotificationState): balloons wait then. Alone in its source
// file, so that a test build of the program can link a definition of its own in its place.
bool user_wants_quiet();

} // namespace app
