#pragma once

namespace app {

// True when another copy of the program (for the same site) was already running when this
// process started. Decided during static initialisation, before anything else is created.
bool another_instance_running();

} // namespace app
