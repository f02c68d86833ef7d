#include "app/tray.h"

#include "app/tray_notify.h"
#include "kernel/version.h"
#include "resources/resource.h"
#include "string/weak_string.h"
#include "wapi/controls.h"

namespace app {

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
    show_plain();
}

void CTray::remove() {
    icon_.remove();
}

void CTray::show_state(const std::wstring& state, const std::wstring& hint) {
    std::wstring tip = L"Pelikant: " + state;
    if (!hint.empty()) {
        tip += L"\n" + hint;
    }
    icon_.set_tip(tip);
}

void CTray::show_plain() {
    icon_.show_icon(IDI_PELIKANT);
}

void CTray::announce(const feed::RBalloon& balloon) {
    balloon_topic_ = balloon.topic_id;
    icon_.show_icon(IDI_NEW_POSTS);
    icon_.set_balloon_icon(IDI_NEW_POSTS);
    icon_.show_balloon(string::to_standard(balloon.title), string::to_standard(balloon.text));
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
    case NIN_BALLOONUSERCLICK:
        if (balloon_topic_ >= 0) {
            owner_.open_topic(balloon_topic_);
        }
        show_plain();
        break;
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
    // Posted, as a menu's command comes: the window acts on it once the menu has closed.
    const UINT chosen = wapi::track_menu(window_, popup, at);
    if (chosen != 0) {
        PostMessageW(window_, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    }
}

} // namespace app
