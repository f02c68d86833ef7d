// Relies on undocumented Windows: uxtheme ordinals 135/136, DWM attribute 19, DarkMode_* theme names.
#include "app/undocumented_dark.h"

#include <uxtheme.h>

namespace app {

namespace {

// DWMWA_USE_IMMERSIVE_DARK_MODE, which Debian's mingw-w64 lacks, and its number before 20H1.
const DWORD USE_IMMERSIVE_DARK_MODE = 20;
const DWORD USE_IMMERSIVE_DARK_MODE_BEFORE_20H1 = 19;
// Windows 10 1809, the first with a dark title bar; 20H1's preview moved the attribute.
const unsigned long TITLE_19_FROM = 17763;
const unsigned long TITLE_20_FROM = 18985;
// Windows 10 1903, where export 135 became SetPreferredAppMode, to Windows 11 25H2.
const unsigned long MENUS_FROM = 18362;
const unsigned long MENUS_UNTIL = 26200;

// SetPreferredAppMode's modes.
const int APP_MODE_DEFAULT = 0;
const int APP_MODE_FORCE_DARK = 2;

template <class F> F uxtheme_export(WORD ordinal) {
    const HMODULE uxtheme = GetModuleHandleW(L"uxtheme.dll");
    return uxtheme == nullptr ? nullptr
                              : reinterpret_cast<F>(reinterpret_cast<void*>(
                                    GetProcAddress(uxtheme, MAKEINTRESOURCEA(ordinal))));
}

} // namespace

DWORD dark_title_attribute(unsigned long build) {
    // Older systems refuse 20 as an attribute they do not know, and keep their title bar.
    return build >= TITLE_19_FROM && build < TITLE_20_FROM ? USE_IMMERSIVE_DARK_MODE_BEFORE_20H1
                                                           : USE_IMMERSIVE_DARK_MODE;
}

bool prefer_dark_menus(unsigned long build, bool dark) {
    if (build < MENUS_FROM || build > MENUS_UNTIL) {
        return false;
    }
    using SetPreferredAppMode = int(WINAPI*)(int);
    using FlushMenuThemes = void(WINAPI*)();
    const auto set_mode = uxtheme_export<SetPreferredAppMode>(135);
    const auto flush = uxtheme_export<FlushMenuThemes>(136);
    if (set_mode == nullptr || flush == nullptr) {
        return false;
    }
    set_mode(dark ? APP_MODE_FORCE_DARK : APP_MODE_DEFAULT);
    flush();
    return true;
}

void dark_control_theme(HWND control, bool dark, bool edit) {
    // Both names null: the control's own theme again.
    SetWindowTheme(control, dark ? (edit ? L"DarkMode_CFD" : L"DarkMode_Explorer") : nullptr, nullptr);
}

} // namespace app
