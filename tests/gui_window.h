// A real top-level window on its own GUI thread, for tests that drive controls: run() carries
// out a function on that thread, where controls must be created and used.
#pragma once
#include <functional>
#include <memory>

#include <windows.h>

#include "wapi/manager.h"
#include "wapi/window.h"

namespace test {

class CGuiWindow : public wapi::CWindow {
public:
    static const UINT WM_RUN = WM_APP + 9;

    explicit CGuiWindow(const wchar_t* window_class) : CWindow(GetModuleHandleA(nullptr)) {
        class_name = window_class;
        rect = wapi::RRect{40, 40, 679, 519};
    }

    bool on_message(UINT message, WPARAM, LPARAM lparam) override {
        if (message == WM_RUN) {
            (*reinterpret_cast<std::function<void()>*>(lparam))();
            return true;
        }
        return false;
    }

    void run(std::function<void()> fn) { SendMessageW(handle, WM_RUN, 0, reinterpret_cast<LPARAM>(&fn)); }

    // Registered with the window manager; null when the window could not be created.
    static CGuiWindow* open(const wchar_t* window_class) {
        CGuiWindow* window = new CGuiWindow(window_class);
        // A failed creation deletes the window: only the shared start-up record tells.
        const std::shared_ptr<wapi::RStartup> startup = window->startup();
        wapi::CWindowManager::instance().register_window(window);
        return startup->created ? window : nullptr;
    }
    // The GUI thread deletes the window once its loop ends.
    static void close(CGuiWindow* window) {
        if (window != nullptr) {
            window->close_window();
        }
        wapi::CWindowManager::instance().wait_for_windows();
    }
};

} // namespace test
