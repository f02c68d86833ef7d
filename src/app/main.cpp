#include <windows.h>

#include "app/instance.h"
#include "app/pelikant_app.h"
#include "app/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const bool tray = app::started_for_tray();
    // A second start brings the running copy to the front (the autostart leaves it be) and ends.
    if (app::another_instance_running()) {
        if (!tray) {
            app::show_running_copy();
        }
        return 0;
    }
    return app::run_main_window(new app::CPelikantApp(tray));
}
