#include "app/instance.h"

#include <windows.h>

#include "app/config.h"
#include "kernel/handle.h"

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

} // namespace app
