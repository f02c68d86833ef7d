#include "app/startup.h"

#include "wapi/manager.h"

namespace app {

int run_main_window(wapi::CWindow* window) {
    wapi::CWindowManager& manager = wapi::CWindowManager::instance();
    manager.register_window(window);
    manager.wait_for_windows();
    return 0;
}

} // namespace app
