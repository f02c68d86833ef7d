#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "kernel/sync.h"
#include "nexum/nexum.h"
#include "search/catalogue.h"
#include "feed/feed_state.h"
#include "feed/forum_rows.h"
#include "feed/monitor.h"
#include "wapi/controls.h"
#include "wapi/dpi.h"
#include "wapi/notify_icon.h"
#include "wapi/window.h"

namespace app {

// The poll timer: value as SetTimer gave it, running 1 while it runs.
struct RPollTimer {
    UINT_PTR value = 0;
    std::int32_t running = 0;
};

// The application: the one top-level window and the owner of everything else. Members are
// destroyed in reverse order, the engine first: its threads end there, so the feed thread is gone
// before anything it uses (the feed handler, the tray icon, the last answer and its lock). The
// engine is stopped at WM_DESTROY already; its destructor only makes sure.
class CPelikantApp : public wapi::CWindow, private feed::IForumView {
public:
    // Posted by a second start of the program: show the window and come to the front.
    static const UINT WM_SHOW_REQUEST = WM_APP + 3;
    // The window's caption; a second start finds the running copy for the same site by it.
    static const wchar_t* const TITLE;

    // start_hidden: start in the tray, the window not shown (the autostart at log-in). Whether the
    // window is shown is the window's own state (IsWindowVisible), never kept beside it.
    explicit CPelikantApp(bool start_hidden = false);
    ~CPelikantApp() override = default;

private:
    static const UINT_PTR POLL_TIMER_ID = 1;
    static const UINT POLL_PERIOD_MS = 60000;
    static const int HOTKEY_ID = 1;
    // Posted by the feed thread: the window is changed on the GUI thread, so the feed thread
    // never waits for it (the GUI thread waits for the feed thread at exit).
    static const UINT WM_FEED_REPLACED = WM_APP + 1;
    static const UINT WM_FEED_CHECKED = WM_APP + 2;
    // The global key that summons the search, and its name as the user sees it.
    static const UINT HOTKEY_MODIFIERS = MOD_WIN | MOD_SHIFT;
    static const UINT HOTKEY_KEY = 'P';
    static const wchar_t* const HOTKEY_NAME;

    bool on_create(CREATESTRUCTW* create) override;
    bool on_size(int width, int height, WPARAM size_type) override;
    bool on_close() override;
    bool on_timer(WPARAM timer_id, LPARAM lparam) override;
    bool on_command(HWND control, WPARAM wparam, WORD code) override;
    bool on_notify(WPARAM wparam, NMHDR* header) override;
    bool on_message(UINT message, WPARAM wparam, LPARAM lparam) override;
    bool on_destroy() override;
    HICON get_icon() override;
    bool pre_translate(const MSG& message) override;

    void layout();
    // The tray's left click: hides the window when it is in front, otherwise shows it there.
    void toggle_window();
    void show_window();
    void hide_window();
    bool on_search_key(wapi::CWindowBase* control, UINT key, LPARAM key_data, UINT repeat, bool extended,
                       bool transition);
    bool on_list_key(wapi::CWindowBase* control, UINT key, LPARAM key_data, UINT repeat, bool extended,
                     bool transition);
    // GUI thread: the forum list from the last feed that parsed.
    void fill_forum_list();

    // Feed thread: only tray calls, posted messages and this object's own lock, never a wait on
    // the GUI thread.
    void announce(const feed::RBalloon& balloon) override;
    void feed_replaced() override;
    void feed_checked(const feed::RFeedCheck& check) override;
    // GUI thread.
    void open_url(const string::weak_string<char>& url) override;

    void apply_dpi(UINT new_dpi);
    void make_status_bar();
    void show_state();
    void run_search(const string::weak_string<wchar_t>& text);
    // Opens the row's address; false only when no such row exists.
    bool activate_row(long row_id) const;
    bool on_tray(const wapi::RTrayEvent& tray);
    bool on_context_menu(HWND control, LPARAM at);
    // The list a control is, or null.
    wapi::CListView* list_of(HWND control) const;
    bool open_row(const wapi::CListView& list, int item);
    std::wstring row_address(const wapi::CListView& list, int item) const;
    void show_row_menu(wapi::CListView& list, const POINT* clicked);
    void copy_address(const wapi::CListView& list);
    void move_focus(bool back);
    std::vector<std::pair<wapi::CWindowBase*, const wchar_t*>> named_controls() const;
    bool on_activate(WPARAM wparam);
    void summon();
    bool in_front() const;
    void request_feed();
    void stop_timer();

    // Used by the feed thread too.
    wapi::CNotifyIcon tray_icon_;
    feed::CFeedMonitor feed_handler_;
    std::atomic<std::int32_t> balloon_topic_{-1};
    // The last answer to a poll and when it came, handed from the feed thread.
    kernel::CCriticalSection check_lock_;
    bool checked_ = false;
    feed::RFeedCheck check_;
    SYSTEMTIME checked_at_ = {};

    // GUI thread only.
    RPollTimer poll_timer_;
    // The controls' font and the forum list's icons, for the window's DPI. Replaced, not changed,
    // when the DPI changes: the controls hold the old ones until they have the new.
    wapi::CFont font_;
    wapi::CImageList image_list_;
    // Not owned: the window's children own the controls and delete them at WM_DESTROY, right
    // after on_destroy has cleared these.
    wapi::CListView* forum_list_ = nullptr;
    wapi::CTextBox* search_box_ = nullptr;
    wapi::CListView* result_list_ = nullptr;
    wapi::CStatusBar* status_bar_ = nullptr;
    search::CCatalogue catalogue_;
    UINT dpi_ = wapi::DESIGN_DPI;
    // What the forum list shows.
    std::vector<feed::RForumRow> shown_topics_;
    bool hotkey_ = false;
    // When the window last lost the foreground: a click on the tray icon takes it away just
    // before the click arrives.
    DWORD deactivated_at_ = 0;
    // When the tray icon was last double-clicked (0: not lately): the click that ends a double
    // click is no click of its own.
    DWORD double_clicked_at_ = 0;
    // The key that opened a row's menu, until it is released.
    UINT row_menu_key_ = 0;

    // Last, so that it goes first.
    nexum::CNexum engine_;
};

} // namespace app
