#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "feed/news.h"
#include "wapi/notify_icon.h"

namespace app {

// What the tray menu shows checked or greyed, of what the window knows.
struct RTrayMenuState {
    bool news = false;          // "Oznacz wszystkie jako przeczytane" does something
    bool paused = false;        // balloons are paused
    bool only_followed = false; // only followed topics are told of
};

// What the tray asks of the window.
class ITrayOwner {
public:
    virtual RTrayMenuState tray_menu_state() const = 0;
    // A click on the icon: away when the window is in front, otherwise to the front.
    virtual void toggle_window() = 0;
    virtual void show_window() = 0;
    // A click on a balloon: the topic it named.
    virtual void open_topic(std::int32_t id) = 0;
    // Says in the status line what could not be done.
    virtual void report(const std::wstring& problem) = 0;

protected:
    ~ITrayOwner() = default;
};

// Greys and checks the tray menu popup by state: "Oznacz wszystkie jako przeczytane" greyed while
// nothing is new, "Wznów powiadomienia" while nothing is paused, "Wstrzymaj powiadomienia" checked
// while paused.
void show_menu_state(HMENU popup, const RTrayMenuState& state);

// The longest tip the tray takes: NOTIFYICONDATA's 128 units hold its terminator too.
const size_t TIP_UNITS = sizeof(NOTIFYICONDATAW::szTip) / sizeof(wchar_t) - 1;
// The tray tip: "Pelikant: " and lines, the most important first, then hint on a line of its own.
// What does not fit in TIP_UNITS loses the hint first, then its last lines: the line cut ends in
// "…" after the last whole word that fits, or goes when none does (the first line is then cut
// inside its word).
std::wstring tray_tip(const std::vector<std::wstring>& lines, const std::wstring& hint);

// A click on a balloon. Windows keeps older balloons in the notification centre and does not say
// which one was clicked: only when a single balloon has been shown since the last click can it be
// told which, and only then is its topic opened. Apart from the tray, so that a table can drive it.
// GUI thread, as the tray.
class CBalloonClicks {
public:
    // A balloon naming topic_id (-1: no single topic) was shown.
    void shown(std::int32_t topic_id);
    // A click on a balloon: the topic to open, or -1 when the window is to show instead.
    std::int32_t clicked();

private:
    int shown_ = 0;              // since the last click, counted up to 2
    std::int32_t topic_id_ = -1; // of the last balloon shown
};

// A double click on the icon arrives as a click, the double click and one more click, which is
// no click of its own. Apart from the tray, so that its times can be given.
class CTrayClicks {
public:
    // The double click at now (GetTickCount).
    void double_clicked(DWORD now);
    // Whether a click at now counts: not the one that ends a double click within double_click_ms.
    bool click_counts(DWORD now, DWORD double_click_ms);

private:
    bool ending_double_click_ = false;
    DWORD double_clicked_at_ = 0;
};

// The program's icon in the notification area: the icon (plain, or new posts), its tip, the
// balloons, what a click, a double click, the keyboard and the menu key do, and the tray menu,
// whose "Uruchamiaj razem z Windows" it carries out itself. GUI thread only: the feed thread posts
// what to announce to the window.
class CTray {
public:
    CTray(ITrayOwner& owner, HINSTANCE instance);
    CTray(const CTray&) = delete;
    CTray& operator=(const CTray&) = delete;

    // Puts the plain icon in the tray, its clicks going to window.
    void attach(HWND window);
    // Takes the icon out of the tray, before the window goes: an icon nobody answers would stay.
    void remove();
    // The tip: the program's name with the feed's lines (one a line, the most important first),
    // then hint, as much as fits.
    void show_state(const std::wstring& lines, const std::wstring& hint);
    // The new-posts icon while anything is new for the user, the plain one otherwise.
    void show_news(bool any);
    // New posts: the balloon; a click on it opens its topic, or shows the window when it may have
    // been another balloon.
    void announce(const feed::RBalloon& balloon);
    // The icon's messages; true when message was one and has been dealt with. The taskbar's
    // restart is answered (the icon added again) and still reported false, as every window sees it.
    bool on_message(UINT message, WPARAM wparam, LPARAM lparam);

private:
    void on_event(const wapi::RTrayEvent& event);
    void show_menu(POINT at);

    ITrayOwner& owner_;     // not owned
    HINSTANCE instance_;    // not owned
    HWND window_ = nullptr; // not owned
    wapi::CNotifyIcon icon_;
    CTrayClicks clicks_;
    CBalloonClicks balloon_clicks_;
    int icon_id_ = 0; // the icon shown, to send nothing when it stays
};

} // namespace app
