#pragma once

namespace app {

// Starting with Windows: the value "Pelikant" of the user's Run key, which the installer makes,
// naming this program with "/tray" so that it starts quietly in the tray. GUI thread.
bool starts_with_windows();
// Writes or deletes the value; false when the registry refused.
bool set_start_with_windows(bool on);

} // namespace app
