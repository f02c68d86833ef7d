#pragma once

namespace app {

// Starting with Windows: the value "Pelikant" of the user's Run key, which the installer makes,
// naming this program with "/tray" so that it starts quietly in the tray. GUI thread.
// True only when that value starts this copy of the program and the user has not turned it off
// in Task Manager or Settings (the value "Pelikant" of Explorer's StartupApproved\Run).
bool starts_with_windows();
// On: writes the value for this copy and clears Task Manager's switch; off: deletes the value.
// False when the registry refused.
bool set_start_with_windows(bool on);

} // namespace app
