#pragma once
#include <string>

#include <windows.h>

#include "wapi/controls.h"

namespace app {

// What the keys and the rows need of the window.
class IRowOwner {
public:
    // The address (UTF-8) the row of list whose item data is data opens; empty for none.
    virtual std::string row_address(const wapi::CListView& list, LPARAM data) const = 0;
    // The row's address went to the browser.
    virtual void row_opened(const wapi::CListView& list, LPARAM data) = 0;
    // A row's menu, about to show: items greyed or renamed for the row as it is.
    virtual void prepare_row_menu(const wapi::CListView& list, LPARAM data, HMENU menu) const = 0;
    // A command of a row's menu other than opening and copying.
    virtual void row_command(const wapi::CListView& list, LPARAM data, UINT command) = 0;
    // Says in the status line what could not be done.
    virtual void report(const std::wstring& problem) = 0;
    virtual void hide_window() = 0;

protected:
    ~IRowOwner() = default;
};

// The window's keyboard and what a row does: Tab and F6 round the box, the results and the
// topics; the box's keys that move through the results; Enter, a double click and a row's menu
// open a row of either list, Ctrl+C and the menu copy its address; F5 checks the forum now (as
// the tray menu's command). GUI thread only.
class CRowActions {
public:
    explicit CRowActions(IRowOwner& owner);
    CRowActions(const CRowActions&) = delete;
    CRowActions& operator=(const CRowActions&) = delete;

    // The window and its controls, not owned (any may be null); binds the controls' keys.
    void attach(HWND window, wapi::CTextBox* box, wapi::CListView* results, wapi::CListView* topics);
    // Before the controls go.
    void detach();
    void set_dpi(UINT dpi) { dpi_ = dpi; }

    // Keys that mean something to the whole window, whichever control has the focus; true
    // consumes the message.
    bool pre_translate(const MSG& message);
    // A list's notifications: one that gets the focus shows its focused row, a double click
    // opens the row clicked.
    bool on_notify(const NMHDR& header);
    // A right click on a row, or the keyboard's request for a menu.
    bool on_context_menu(HWND control, LPARAM at);
    // Opens url in the browser, or says why not; false then.
    bool open_address(const std::string& url);

private:
    bool on_box_key(wapi::CWindowBase* control, const wapi::RKey& key);
    bool on_list_key(wapi::CWindowBase* control, const wapi::RKey& key);
    // The list a control is, or null.
    wapi::CListView* list_of(HWND control) const;
    // A row as it was when asked for: its list, data and address (empty for none).
    struct RRow {
        const wapi::CListView* list = nullptr;
        LPARAM data = -1;
        std::string url;
    };
    RRow row_of(const wapi::CListView& list, int item) const;
    bool open_row(const RRow& row);
    // The focused row's menu ("Otwórz", "Kopiuj adres", and a topic's own commands): at the point
    // clicked, or below the row.
    void show_row_menu(wapi::CListView& list, const POINT* clicked);
    void copy_address(const RRow& row);
    void move_focus(bool back);

    IRowOwner& owner_;                   // not owned
    HWND window_ = nullptr;              // not owned
    wapi::CTextBox* box_ = nullptr;      // not owned
    wapi::CListView* results_ = nullptr; // not owned
    wapi::CListView* topics_ = nullptr;  // not owned
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    // The key that opened a row's menu, until it is released.
    UINT row_menu_key_ = 0;
};

} // namespace app
