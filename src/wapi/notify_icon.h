#pragma once
#include <string>

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "kernel/sync.h"
#include "wapi/controls.h"

namespace wapi {

// What the system says about its version, as GetVersionExA, GetSystemInfo and
// GetSystemMetrics(SM_SERVERR2) give it.
struct RVersionFacts {
    bool known = false; // GetVersionExA succeeded
    DWORD platform = 0;
    DWORD major = 0;
    DWORD minor = 0;
    BYTE product_type = 0;
    WORD processor_architecture = 0;
    int server_r2 = 0;
};

// 0 Win32s, 1 Windows 95, 2 Windows 98/Me, 3 NT 4 and older, 4 CE, 5 Windows 2000, 6 XP,
// 7 XP x64, 11 Server 2003, 12 Server 2003 R2, 8 Vista, 13 Server 2008, 9 Windows 7,
// 14 Server 2008 R2, 15 anything else or unknown.
int classify_windows_version(const RVersionFacts& facts);
RVersionFacts system_version_facts();
int windows_version();

// One notification-area icon, its texts in UTF-16. Every operation is serialised by one lock: the
// GUI thread and the feed thread both change the icon.
class CNotifyIcon {
public:
    // Where the record goes; Shell_NotifyIconW unless a test puts itself in front of the shell.
    using Notify = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW);
    // The mouse on the icon arrives as this message with the icon's id in wParam and the mouse
    // message in lParam. A message of the toolkit's own: a system message number there (such as
    // WM_CONTEXTMENU) would mix the icon's clicks with the window's.
    static constexpr UINT CALLBACK_MESSAGE = WM_APP + 0x3FFE;
    static constexpr UINT ICON_ID = 1;

    explicit CNotifyIcon(int version = windows_version(), Notify notify = &Shell_NotifyIconW,
                         HINSTANCE instance = GetModuleHandleW(nullptr));
    ~CNotifyIcon();
    CNotifyIcon(const CNotifyIcon&) = delete;
    CNotifyIcon& operator=(const CNotifyIcon&) = delete;

    bool set_window(HWND window);
    // An empty text removes the tip; a longer one is cut to the record's 127 units.
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

    // The record as the next send would give it, and whether the shell holds the icon.
    NOTIFYICONDATAW record() const;
    bool shown() const;

private:
    bool send_locked(NOTIFYICONDATAW& data);
    void remove_locked();

    mutable kernel::CCriticalSection lock_;
    NOTIFYICONDATAW data_;
    DWORD info_flags_; // for a balloon with an icon, by version
    bool shown_ = false;
    CIcon icon_;         // data_.hIcon is a copy, not owned
    CIcon balloon_icon_; // data_.hBalloonIcon is a copy, not owned
    Notify notify_;
    HINSTANCE instance_; // not owned
    UINT taskbar_created_;
};

} // namespace wapi
