#pragma once
#include <windows.h>

#include "kernel/owner.h"

namespace wapi {

// The program's sizes are those of a 96-DPI display, scaled to the DPI of the window's monitor.
const UINT DESIGN_DPI = 96;

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The DPI the window is shown at: its monitor's where the system knows that (Windows 10), the
// system's otherwise.
UINT window_dpi(HWND window);
// value, given for 96 DPI, at dpi.
int scale(int value, UINT dpi);
// GetSystemMetrics at dpi (SM_CXSMICON and the like).
int system_metric(int index, UINT dpi);

bool delete_font(HFONT font);
using CFont = kernel::COwner<HFONT, &delete_font>;

// The message font of the system's non-client metrics at dpi (Segoe UI 9 pt on Windows 10 and
// 11): the font dialogs and controls are expected to use. None when the system gives none.
CFont message_font(UINT dpi, bool bold = false);

} // namespace wapi
