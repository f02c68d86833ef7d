#include "wapi/dpi.h"

namespace wapi {

namespace {

// Newer than the oldest Windows the program runs on (7): looked up, used where they exist.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

template <class F> F user32_function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 != nullptr ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                             : nullptr;
}

UINT system_dpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : DESIGN_DPI;
}

// Windows 8.1 has no GetDpiForWindow, but knows each monitor's DPI (shcore.dll).
UINT monitor_dpi(HWND window) {
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    static const GetDpiForMonitorFn for_monitor =
        shcore != nullptr ? reinterpret_cast<GetDpiForMonitorFn>(
                                reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")))
                          : nullptr;
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    UINT x = 0;
    UINT y = 0;
    const int MDT_EFFECTIVE_DPI = 0;
    if (for_monitor == nullptr || monitor == nullptr ||
        FAILED(for_monitor(monitor, MDT_EFFECTIVE_DPI, &x, &y))) {
        return 0;
    }
    return y;
}

} // namespace

UINT window_dpi(HWND window) {
    static const GetDpiForWindowFn for_window = user32_function<GetDpiForWindowFn>("GetDpiForWindow");
    if (window == nullptr) {
        return system_dpi();
    }
    UINT dpi = for_window != nullptr ? for_window(window) : 0;
    if (dpi == 0) {
        dpi = monitor_dpi(window);
    }
    return dpi != 0 ? dpi : system_dpi();
}

int scale(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), static_cast<int>(DESIGN_DPI));
}

int system_metric(int index, UINT dpi) {
    static const GetSystemMetricsForDpiFn for_dpi =
        user32_function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (for_dpi != nullptr) {
        return for_dpi(index, dpi);
    }
    // The system's own metric is for its own DPI.
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(system_dpi()));
}

bool delete_font(HFONT font) {
    return DeleteObject(font) != FALSE;
}

CFont message_font(UINT dpi, bool bold) {
    static const SystemParametersInfoForDpiFn for_dpi =
        user32_function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    bool got = for_dpi != nullptr && for_dpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi);
    if (!got && SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        // For the system's DPI: scaled to the window's.
        metrics.lfMessageFont.lfHeight =
            MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(system_dpi()));
        got = true;
    }
    if (bold) {
        metrics.lfMessageFont.lfWeight = FW_BOLD;
    }
    return got ? CFont(CreateFontIndirectW(&metrics.lfMessageFont)) : CFont();
}

} // namespace wapi
