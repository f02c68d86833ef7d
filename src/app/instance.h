#pragma once

namespace app {

// True when another copy of the program (for the same site) was already running when this
// process started. Decided during static initialisation, before anything else is created.
bool another_instance_running();
// Asks the copy that runs for this site to show its window and come to the front.
void show_running_copy();
// The argument the autostart at log-in passes: the program then starts in the tray, its window
// hidden.
const wchar_t* const TRAY_ARGUMENT = L"/tray";
bool started_for_tray();

} // namespace app
