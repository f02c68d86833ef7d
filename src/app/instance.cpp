#include "app/instance.h"

#include <windows.h>

#include "app/config.h"

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
        HANDLE handle = CreateMutexA(nullptr, TRUE, "Pelikant - " PELIKANT_SITE_URL);
        if (handle != nullptr && GetLastError() != ERROR_ALREADY_EXISTS) {
            mutex_ = handle;
            return true;
        }
        if (handle != nullptr) {
            CloseHandle(handle);
        }
        return false;
    }
    void release() {
        if (mutex_ != INVALID_HANDLE_VALUE) {
            CloseHandle(mutex_);
            mutex_ = INVALID_HANDLE_VALUE;
        }
    }

    HANDLE mutex_ = INVALID_HANDLE_VALUE;
    bool another_ = false;
};

CInstanceGuard guard;

} // namespace

bool another_instance_running() { return guard.another(); }

} // namespace app
