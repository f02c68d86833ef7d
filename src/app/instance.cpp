#include "app/instance.h"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "app/config.h"
#include "app/pelikant_app.h"
#include "kernel/owner.h"

namespace app {

namespace {

// Holds the named mutex for the life of the process; the name carries the site URL, so
// builds for different sites may run side by side.
class CInstanceGuard {
public:
    CInstanceGuard() { another_ = !check(); }
    ~CInstanceGuard() { release(); }
    CInstanceGuard(const CInstanceGuard&) = delete;
    CInstanceGuard& operator=(const CInstanceGuard&) = delete;

    bool another() const { return another_; }

private:
    bool check() {
        release();
        kernel::CHandle handle(CreateMutexW(nullptr, TRUE, L"Pelikant - " PELIKANT_SITE_URL));
        if (handle.is_valid() && GetLastError() != ERROR_ALREADY_EXISTS) {
            mutex_.reset(handle.release());
            return true;
        }
        return false;
    }
    void release() { mutex_.reset(); }

    kernel::CHandle mutex_;
    bool another_ = false;
};

CInstanceGuard guard;

} // namespace

bool another_instance_running() {
    return guard.another();
}

void show_running_copy() {
    // The copy may still be creating its window: it is looked for a little while.
    for (int attempt = 0; attempt < 40; ++attempt) {
        HWND window = FindWindowW(L"Pelikant", CPelikantApp::TITLE);
        if (window != nullptr) {
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            // The user has just started this process, so it may take the foreground; it lends
            // that to the running copy, which could not take it by itself.
            AllowSetForegroundWindow(pid);
            PostMessageW(window, CPelikantApp::WM_SHOW_REQUEST, 0, 0);
            return;
        }
        Sleep(50);
    }
}

bool started_for_tray() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) {
        return false;
    }
    bool tray = false;
    for (int i = 1; i < count; ++i) {
        tray = tray || lstrcmpiW(arguments[i], TRAY_ARGUMENT) == 0;
    }
    LocalFree(arguments);
    return tray;
}

} // namespace app
