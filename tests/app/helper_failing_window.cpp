// A program whose main window cannot be created: it must still end at once with code 0.
#include <windows.h>

#include "app/startup.h"
#include "wapi/window.h"

namespace {

class CRefusingWindow : public wapi::CWindow {
public:
    CRefusingWindow() : CWindow(GetModuleHandleA(nullptr)) { class_name = L"PelikantRefusingWindow"; }
    // Refusing WM_NCCREATE makes CreateWindowExW fail.
    bool on_message(UINT message, WPARAM, LPARAM) override { return message == WM_NCCREATE; }
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return app::run_main_window(new CRefusingWindow());
}
