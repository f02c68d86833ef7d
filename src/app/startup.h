#pragma once

namespace wapi {
class CWindow;
}

namespace app {

// Hands the main window to the window manager and waits until it is gone. Always 0.
int run_main_window(wapi::CWindow* window);

} // namespace app
