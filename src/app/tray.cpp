#include "app/tray.h"

#include <algorithm>

#include "app/autostart.h"
#include "app/tray_notify.h"
#include "kernel/version.h"
#include "resources/resource.h"
#include "wapi/controls.h"

namespace app {

namespace {

// line cut to room units at most, at a word and ending in "…"; inside a word when inside_word, and
// empty when not even that leaves anything.
std::wstring cut(const std::wstring& line, size_t room, bool inside_word) {
    if (room < 2) {
        return std::wstring();
    }
    size_t end = line.rfind(L' ', room - 1);
    while (end != std::wstring::npos && end > 0 && line[end - 1] == L' ') {
        --end;
    }
    if (end == std::wstring::npos || end == 0) {
        if (!inside_word) {
            return std::wstring();
        }
        end = IS_HIGH_SURROGATE(line[room - 2]) ? room - 2 : room - 1; // never half a pair
    }
    return line.substr(0, end) + L"…";
}

} // namespace

void show_menu_state(HMENU popup, const RTrayMenuState& state) {
    const auto grey = [&](UINT id, bool enabled) {
        EnableMenuItem(popup, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    };
    grey(IDM_MARK_ALL_READ, state.news);
    grey(IDM_RESUME, state.paused);
    CheckMenuItem(popup, IDM_ONLY_FOLLOWED, MF_BYCOMMAND | (state.only_followed ? MF_CHECKED : MF_UNCHECKED));
    // "Wstrzymaj powiadomienia" is a pop-up, so it is found by its place: the one item with a
    // menu of its own.
    for (int at = 0; at < GetMenuItemCount(popup); ++at) {
        if (GetSubMenu(popup, at) != nullptr) {
            CheckMenuItem(popup, static_cast<UINT>(at),
                          MF_BYPOSITION | (state.paused ? MF_CHECKED : MF_UNCHECKED));
        }
    }
}

std::wstring tray_tip(const std::vector<std::wstring>& lines, const std::wstring& hint) {
    std::wstring tip = L"Pelikant: ";
    const size_t name = tip.size();
    bool whole = true;
    for (const std::wstring& line : lines) {
        if (line.empty()) {
            continue;
        }
        const bool first = tip.size() == name;
        const size_t at = tip.size() + (first ? 0 : 1);
        const std::wstring shown =
            at + line.size() <= TIP_UNITS ? line : cut(line, at < TIP_UNITS ? TIP_UNITS - at : 0, first);
        if (!shown.empty()) {
            tip += (first ? L"" : L"\n") + shown;
        }
        if (shown.size() < line.size()) {
            whole = false;
            break;
        }
    }
    if (whole && !hint.empty() && tip.size() + 1 + hint.size() <= TIP_UNITS) {
        tip += L"\n" + hint;
    }
    return tip;
}

void CBalloonClicks::shown(std::int32_t topic_id) {
    shown_ = shown_ < 2 ? shown_ + 1 : 2;
    topic_id_ = topic_id;
}

std::int32_t CBalloonClicks::clicked() {
    const std::int32_t topic = shown_ == 1 ? topic_id_ : -1;
    shown_ = 0;
    return topic;
}

void CTrayClicks::double_clicked(DWORD now) {
    ending_double_click_ = true;
    double_clicked_at_ = now;
}

bool CTrayClicks::click_counts(DWORD now, DWORD double_click_ms) {
    const bool ends_double_click = ending_double_click_ && now - double_clicked_at_ <= double_click_ms;
    ending_double_click_ = false;
    return !ends_double_click;
}

CTray::CTray(ITrayOwner& owner, HINSTANCE instance)
    : owner_(owner), instance_(instance), icon_(kernel::nt_version(), &tray_notify, instance) {}

void CTray::attach(HWND window) {
    window_ = window;
    icon_.set_window(window);
    icon_id_ = 0;
    show_news(false);
}

void CTray::remove() {
    icon_.remove();
}

void CTray::show_state(const std::wstring& lines, const std::wstring& hint) {
    std::vector<std::wstring> split;
    for (size_t from = 0; from <= lines.size();) {
        const size_t end = std::min(lines.find(L'\n', from), lines.size());
        split.push_back(lines.substr(from, end - from));
        from = end + 1;
    }
    icon_.set_tip(tray_tip(split, hint));
}

void CTray::show_news(bool any) {
    const int id = any ? IDI_NEW_POSTS : IDI_PELIKANT;
    if (id != icon_id_ && icon_.show_icon(id)) {
        icon_id_ = id;
    }
}

void CTray::announce(const feed::RBalloon& balloon) {
    icon_.set_balloon_icon(IDI_NEW_POSTS);
    icon_.show_balloon(balloon.title, balloon.text);
    // Counted even when the shell refused it, so that a click then opens nothing it did not name.
    balloon_clicks_.shown(balloon.topic_id);
}

bool CTray::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    if (icon_.on_message(message)) {
        return false; // the taskbar came back; the icon was added again
    }
    if (message != wapi::CNotifyIcon::CALLBACK_MESSAGE) {
        return false;
    }
    // Every message of the icon is taken here: passed on to DefWindowProc it would mean something
    // else to the window.
    const wapi::RTrayEvent event = icon_.read_callback(wparam, lparam);
    if (event.ours) {
        on_event(event);
    }
    return true;
}

// The button messages that come beside a click or the menu are left alone.
void CTray::on_event(const wapi::RTrayEvent& event) {
    switch (event.event) {
    case NIN_SELECT:
        if (clicks_.click_counts(GetTickCount(), GetDoubleClickTime())) {
            owner_.toggle_window();
        }
        break;
    case NIN_KEYSELECT:
        owner_.show_window();
        break;
    case WM_LBUTTONDBLCLK:
        // Its first click has toggled already; it ends with the window shown.
        clicks_.double_clicked(GetTickCount());
        owner_.show_window();
        break;
    case WM_CONTEXTMENU:
        show_menu(event.anchor);
        break;
    case NIN_BALLOONUSERCLICK: {
        const std::int32_t topic = balloon_clicks_.clicked();
        if (topic >= 0) {
            owner_.open_topic(topic);
        } else {
            owner_.show_window(); // what is new is bold there
        }
        break;
    }
    default:
        break;
    }
}

void CTray::show_menu(POINT at) {
    const wapi::CMenu menu = wapi::load_menu(instance_, IDM_TRAY);
    HMENU popup = menu.is_valid() ? GetSubMenu(menu.get(), 0) : nullptr;
    if (popup == nullptr) {
        return;
    }
    SetMenuDefaultItem(popup, IDM_SHOW, FALSE);
    show_menu_state(popup, owner_.tray_menu_state());
    const bool autostart = starts_with_windows();
    CheckMenuItem(popup, IDM_AUTOSTART, MF_BYCOMMAND | (autostart ? MF_CHECKED : MF_UNCHECKED));
    // Posted, as a menu's command comes: the window acts on it once the menu has closed.
    const UINT chosen = wapi::track_menu(window_, popup, at);
    if (chosen == IDM_AUTOSTART) {
        if (!set_start_with_windows(!autostart)) {
            owner_.report(L"Nie udało się zmienić uruchamiania razem z Windows: rejestr odmówił zapisu.");
        }
        return;
    }
    if (chosen != 0) {
        PostMessageW(window_, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    }
}

} // namespace app
