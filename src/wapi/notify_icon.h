#pragma once
#include <string>

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "kernel/version.h"
#include "wapi/controls.h"

namespace wapi {

// What a click or key on the icon came to.
struct RTrayEvent {
    UINT event = 0;    // NIN_SELECT, NIN_KEYSELECT, WM_CONTEXTMENU, WM_LBUTTONDBLCLK, ...
    bool ours = false; // the message is about this icon
    POINT anchor = {}; // where a menu for it goes, on the screen
};

// One notification-area icon, its texts in UTF-16. GUI thread only: the shell is called without a
// lock, and a slow Explorer keeps no other thread waiting.
class CNotifyIcon {
public:
    // Where the record goes; Shell_NotifyIconW unless a test puts itself in front of the shell.
    using Notify = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW);
    // The mouse and the keyboard on the icon arrive as this message (read_callback tells what it
    // says). A message of the toolkit's own: a system message number there (such as
    // WM_CONTEXTMENU) would mix the icon's clicks with the window's.
    static constexpr UINT CALLBACK_MESSAGE = WM_APP + 0x3FFE;
    static constexpr UINT ICON_ID = 1;

    // version: the system's, which decides the record's layout (XP knows no balloon icon of its
    // own, 2000 no user icon at all).
    explicit CNotifyIcon(kernel::RNtVersion version = kernel::nt_version(),
                         Notify notify = &Shell_NotifyIconW, HINSTANCE instance = GetModuleHandleW(nullptr));
    ~CNotifyIcon();
    CNotifyIcon(const CNotifyIcon&) = delete;
    CNotifyIcon& operator=(const CNotifyIcon&) = delete;

    bool set_window(HWND window);
    // An empty text removes the tip; a longer one is cut to the record's 127 units. The shell
    // shows it beside a version-4 icon too (NIF_SHOWTIP).
    bool set_tip(const std::wstring& tip);
    // False, and nothing changed, when the icon does not load.
    bool show_icon(int id);
    // Owns icon from now on; null removes the icon from the record.
    bool set_icon(HICON icon);
    // Sends nothing: the icon goes with the next balloon.
    void set_balloon_icon(int id);
    // Texts are cut to 63 and 255 units, never inside a surrogate pair. The balloon leaves the
    // object's record as it was.
    bool show_balloon(const std::wstring& title, const std::wstring& text);
    bool update();
    void remove();
    // After the taskbar restarts ("TaskbarCreated") the shell has forgotten the icon: an icon
    // bound to a window is added again (or modified, should the shell still hold it), also when
    // its first add failed because the taskbar was not there yet. True when message was that
    // broadcast.
    bool on_message(UINT message);

    // A callback message read in the layout the shell uses for this icon: once it has taken
    // version 4, the event and the icon's id share lParam and wParam holds the anchor point;
    // otherwise lParam is the mouse message, wParam the id, and the anchor is the cursor. Either
    // way a click reads as NIN_SELECT and a request for the menu as WM_CONTEXTMENU.
    RTrayEvent read_callback(WPARAM wparam, LPARAM lparam) const;

    // The record as the next send would give it, and whether the shell holds the icon.
    NOTIFYICONDATAW record() const;
    bool shown() const;

private:
    bool send(NOTIFYICONDATAW& data);

    NOTIFYICONDATAW data_;
    DWORD info_flags_;     // for a balloon with an icon, by version
    DWORD quiet_flag_ = 0; // for every balloon, where the system knows quiet time
    bool version4_ = false;
    bool shown_ = false;
    CIcon icon_;         // data_.hIcon is a copy, not owned
    CIcon balloon_icon_; // data_.hBalloonIcon is a copy, not owned
    Notify notify_;
    HINSTANCE instance_; // not owned
    UINT taskbar_created_;
};

} // namespace wapi
