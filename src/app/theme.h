#pragma once
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include "app/colours.h"
#include "wapi/controls.h"

namespace app {

// The mode the system asks for now: dark when the user's apps are dark, never in high contrast,
// where the system's own colours are the user's.
bool system_wants_dark();

// A list row's colours in its custom draw (CDDS_ITEMPREPAINT): its text in the colour of text,
// and in dark a selected row in dark's selection colours. The answer for the list (CDRF_*).
LRESULT colour_row(NMLVCUSTOMDRAW& draw, bool dark, EColour text);

// The window's look, light or dark as the system asks, followed while the program runs (no
// restart), and everything the window shows painted in it: the title bar, the background, the
// box, both lists with their headers, rows and scroll bars, the status bar, the popup menus. In
// light the system draws as before. GUI thread only.
class CTheme {
public:
    CTheme() = default;
    CTheme(const CTheme&) = delete;
    CTheme& operator=(const CTheme&) = delete;

    // Reads the mode and gives it to the window and its controls (any control may be null).
    void attach(wapi::CWindowBase& window, wapi::CListView* forum, wapi::CListView* results,
                wapi::CTextBox* box, wapi::CStatusBar* bar);
    // Before the controls go.
    void detach();
    bool dark() const { return dark_; }
    // The window's messages for its look: a change of mode or of the system's colours, the
    // box's colours, the background. True when handled; the answer is set on the window.
    bool on_message(UINT message, WPARAM wparam, LPARAM lparam);
    // The result list's custom draw; true when header was one.
    bool on_notify(const NMHDR& header);

private:
    // Reads the mode again; gives it out when it changed, or always.
    void refresh(bool always);
    void apply();
    // A header's custom draw, which its list receives.
    bool on_list_notify(wapi::CWindowBase* list, WPARAM wparam, LPARAM lparam);
    bool on_bar_paint(wapi::CWindowBase* bar);

    bool dark_ = false;
    wapi::CWindowBase* window_ = nullptr; // not owned
    // Not owned: the window's children, cleared by detach before they go.
    wapi::CListView* forum_ = nullptr;
    wapi::CListView* results_ = nullptr;
    wapi::CTextBox* box_ = nullptr;
    wapi::CStatusBar* bar_ = nullptr;
};

} // namespace app
