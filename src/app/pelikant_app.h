#pragma once
#include <cstdint>
#include <vector>

#include <windows.h>

#include "nexum/nexum.h"
#include "pelikant/documentation.h"
#include "pelikant/forum_list.h"
#include "pelikant/handle_nexum.h"
#include "wapi/controls.h"
#include "wapi/notify_icon.h"
#include "wapi/window.h"

namespace app {

// The poll timer: value as SetTimer gave it, running 1 while it runs.
struct RPollTimer {
    UINT_PTR value = 0;
    std::int32_t running = 0;
};

// The application: the one top-level window and the owner of everything else. Members are
// destroyed in reverse order: the search first, then the engine (its threads end there, so the
// feed thread is gone before the forum state and the tray it uses), the image list, the forum
// state, the timer and last the tray icon. At WM_DESTROY the engine is already stopped.
class CPelikantApp : public wapi::CWindow, private pelikant::IForumView {
public:
    static const UINT_PTR POLL_TIMER_ID = 1;
    static const UINT POLL_PERIOD_MS = 60000;
    static const WORD EXIT_COMMAND = 6002;
    // Posted by the feed thread: the forum list is refilled on the GUI thread, so the feed
    // thread never waits for it (the GUI thread waits for the feed thread at exit).
    static const UINT WM_FEED_REPLACED = WM_APP + 1;

    CPelikantApp();
    ~CPelikantApp() override = default;

    bool on_create(CREATESTRUCTW* create) override;
    bool on_size(int width, int height, WPARAM size_type) override;
    bool on_close() override;
    bool on_timer(WPARAM timer_id, LPARAM lparam) override;
    bool on_command(HWND control, WPARAM wparam, WORD code) override;
    bool on_notify(WPARAM wparam, NMHDR* header) override;
    bool on_message(UINT message, WPARAM wparam, LPARAM lparam) override;
    bool on_destroy() override;
    HICON get_icon() override;

    void layout();
    void toggle_window();
    bool on_search_key(wapi::CWindowBase* control, UINT key, LPARAM key_data, UINT repeat, bool extended,
                       bool transition);
    // GUI thread: the forum list from the last feed that parsed.
    void fill_forum_list();

    wapi::CNotifyIcon tray_icon;
    RPollTimer poll_timer;
    pelikant::CHandleNexum feed_handler;
    wapi::CImageList image_list;
    // Not owned: the window's children own the controls and delete them at WM_DESTROY, where
    // these are cleared.
    wapi::CListView* forum_list = nullptr;
    wapi::CTextBox* search_box = nullptr;
    wapi::CListView* result_list = nullptr;
    wapi::CStatusBar* status_bar = nullptr;
    nexum::CNexum engine;
    pelikant::CDocumentation documentation;
    bool hidden = false;
    // What the forum list shows; GUI thread only.
    std::vector<pelikant::RForumRow> shown_topics;

private:
    // Feed thread: only tray calls and posted messages, never a wait on the GUI thread.
    void announce(const string::weak_string<wchar_t>& title,
                  const string::weak_string<wchar_t>& text) override;
    void feed_replaced() override;
    void feed_checked(const pelikant::RFeedCheck& check) override;
    // GUI thread.
    void open_url(const string::weak_string<char>& url) override;

    void run_search(const string::weak_string<wchar_t>& text);
    bool on_tray(UINT mouse_message);
    void request_feed();
    void stop_timer();
};

} // namespace app
