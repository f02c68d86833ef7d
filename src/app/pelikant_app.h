#pragma once
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "app/feed_bridge.h"
#include "app/forum_view.h"
#include "app/row_actions.h"
#include "app/theme.h"
#include "app/tray.h"
#include "search/catalogue.h"
#include "wapi/controls.h"
#include "wapi/dpi.h"
#include "wapi/window.h"

namespace app {

// The application: the one top-level window, its controls, layout and scaling, its shown and
// hidden states and the global key, and the owner of everything else: the tray, the keys and
// row actions, the look, the documentation search and the feed's bridge. GUI thread only. Members are
// destroyed in reverse order, the feed's bridge first: the engine's threads end there, before
// anything they reach goes.
class CPelikantApp : public wapi::CWindow, private ITrayOwner, private IRowOwner, private IFeedWindow {
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
    static const int HOTKEY_ID = 1;
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

    // ITrayOwner: the tray's clicks and its menu.
    RTrayMenuState tray_menu_state() const override;
    void toggle_window() override;
    void show_window() override;
    void open_topic(std::int32_t id) override;
    // IRowOwner.
    std::string row_address(const wapi::CListView& list, LPARAM data) const override;
    void row_opened(const wapi::CListView& list, LPARAM data) override;
    void prepare_row_menu(const wapi::CListView& list, LPARAM data, HMENU menu) const override;
    void row_command(const wapi::CListView& list, LPARAM data, UINT command) override;
    // IRowOwner, IFeedWindow and ITrayOwner.
    void report(const std::wstring& problem) override;
    void hide_window() override;
    // IFeedWindow.
    void show_topics(const std::vector<feed::RForumRow>& topics) override;
    void show_feed_state(const RFeedView& view) override;
    void announce(const feed::RBalloon& balloon) override;

    void make_controls();
    void layout();
    void apply_dpi(UINT new_dpi);
    void make_status_bar();
    // The status bar's state part.
    void show_status(const std::wstring& line, const std::wstring& tooltip);
    void run_search(const string::weak_string<wchar_t>& text);
    std::vector<std::pair<wapi::CWindowBase*, const wchar_t*>> named_controls() const;
    bool on_activate(WPARAM wparam);
    // The global key: the search, ready to type into, or away when it is in front already.
    void summon();
    bool in_front() const;

    // The controls' font, for the window's DPI. Replaced, not changed, when the DPI changes: the
    // controls hold the old one until they have the new.
    wapi::CFont font_;
    // Not owned: the window's children own the controls and delete them at WM_DESTROY, right
    // after on_destroy has cleared these.
    wapi::CListView* forum_list_ = nullptr;
    wapi::CTextBox* search_box_ = nullptr;
    wapi::CListView* result_list_ = nullptr;
    wapi::CStatusBar* status_bar_ = nullptr;
    UINT dpi_ = wapi::DESIGN_DPI;
    CForumView forum_view_;
    bool hotkey_ = false;
    // When the window last lost the foreground: a click on the tray icon takes it away just
    // before the click arrives.
    DWORD deactivated_at_ = 0;
    CTheme theme_;

    search::CCatalogue catalogue_;
    CTray tray_;
    CRowActions rows_;
    // Last, so that it goes first.
    CFeedBridge feed_;
};

} // namespace app
