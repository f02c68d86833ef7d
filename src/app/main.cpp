#include <windows.h>

#include "app/instance.h"
#include "app/pelikant_app.h"
#include "app/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // A second start ends quietly; the running copy is left alone.
    if (app::another_instance_running()) {
        return 0;
    }
    return app::run_main_window(new app::CPelikantApp());
}
