#include <windows.h>

#include "app/instance.h"
#include "app/startup.h"
#include "wapi/window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // A second start ends quietly; the running copy is left alone.
    if (app::another_instance_running()) {
        return 0;
    }
    return app::run_main_window(new wapi::CWindow(GetModuleHandleA(nullptr)));
}
