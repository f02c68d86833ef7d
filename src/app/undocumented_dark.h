#pragma once
#include <windows.h>

namespace app {

// Dark mode's parts that Windows 10 and 11 have but do not document; each is optional. Relies on
// uxtheme's unnamed exports 135 (SetPreferredAppMode) and 136 (FlushMenuThemes) on builds 18362
// to 26200, the title bar's DWM attribute 19 on builds 17763 to 18984 and the "DarkMode_Explorer"
// and "DarkMode_CFD" theme names; where any is missing, its part stays light and nothing fails.

// The DWM attribute that darkens a title bar on this build: 19 on builds 17763 to 18984, 20
// (documented) on all others.
DWORD dark_title_attribute(unsigned long build);
// The process's popup menus dark, or as the system draws them; false where the build does not
// have the calls.
bool prefer_dark_menus(unsigned long build, bool dark);
// The system's dark theme for a control's scroll bars and frame (an edit's: edit), or its own.
void dark_control_theme(HWND control, bool dark, bool edit);

} // namespace app
