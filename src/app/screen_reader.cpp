#include "app/screen_reader.h"

#include "wapi/controls.h"

namespace app {

HRESULT name_for_screen_readers(HWND control, const wchar_t* name) {
    return wapi::set_accessible_name(control, name);
}

} // namespace app
