#include "app/window_frame.h"

#include <dwmapi.h>

namespace app {

HRESULT set_frame_attribute(HWND window, DWORD attribute, BOOL on) {
    return DwmSetWindowAttribute(window, attribute, &on, sizeof(on));
}

} // namespace app
