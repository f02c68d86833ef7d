#include "app/system_timer.h"

namespace app {

UINT_PTR set_system_timer(HWND window, UINT_PTR id, UINT period_ms) {
    return SetTimer(window, id, period_ms, nullptr);
}

} // namespace app
