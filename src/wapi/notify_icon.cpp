#include "wapi/notify_icon.h"

#include <cstring>

namespace wapi {

namespace {

// Copies as much of text as fits into field, always zero-terminated, and never the first half
// of a surrogate pair without the second.
template <size_t N> void copy_cut(wchar_t (&field)[N], const std::wstring& text) {
    size_t n = text.size() < N - 1 ? text.size() : N - 1;
    if (n < text.size() && n > 0 && IS_HIGH_SURROGATE(text[n - 1])) {
        --n;
    }
    std::memcpy(field, text.data(), n * sizeof(wchar_t));
    field[n] = L'\0';
}

int icon_size(bool large) {
    return GetSystemMetrics(large ? SM_CXICON : SM_CXSMICON);
}

} // namespace

CNotifyIcon::CNotifyIcon(kernel::RNtVersion version, Notify notify, HINSTANCE instance)
    : notify_(notify), instance_(instance), taskbar_created_(RegisterWindowMessageW(L"TaskbarCreated")) {
    std::memset(&data_, 0, sizeof(data_));
    // The sizes of this build's layouts: on 32-bit Windows they are 956, 952 and 936 bytes. A
    // version that could not be read is taken for a current one.
    data_.cbSize = sizeof(NOTIFYICONDATAW);
    info_flags_ = NIIF_USER | NIIF_LARGE_ICON;
    const bool known = version.major != 0;
    // Windows 7 and later keep balloons back while the user is new to the system or presenting.
    quiet_flag_ = !known || version.major > 6 || (version.major == 6 && version.minor >= 1)
                      ? NIIF_RESPECT_QUIET_TIME
                      : 0;
    if (known && version.major < 6) {
        data_.cbSize = NOTIFYICONDATAW_V3_SIZE;
        info_flags_ = NIIF_USER;
    }
    if (known && (version.major < 5 || (version.major == 5 && version.minor == 0))) {
        data_.cbSize = NOTIFYICONDATAW_V2_SIZE;
        info_flags_ = 0;
    }
    data_.dwInfoFlags = info_flags_;
    data_.uID = ICON_ID;
}

CNotifyIcon::~CNotifyIcon() {
    remove();
}

bool CNotifyIcon::send(NOTIFYICONDATAW& data) {
    const DWORD message = shown_ ? NIM_MODIFY : NIM_ADD;
    if (notify_ == nullptr || !notify_(message, &data)) {
        return false;
    }
    shown_ = true;
    if (message == NIM_ADD && data_.cbSize == sizeof(NOTIFYICONDATAW)) {
        // Every add, also after a taskbar restart: the shell forgets the version with the icon.
        // With version 4 the icon answers the keyboard (Win+B, the arrows, Enter, the menu key).
        NOTIFYICONDATAW version = data_;
        version.uVersion = NOTIFYICON_VERSION_4;
        version4_ = notify_(NIM_SETVERSION, &version) != FALSE;
    }
    return true;
}

RTrayEvent CNotifyIcon::read_callback(WPARAM wparam, LPARAM lparam) const {
    RTrayEvent event;
    if (version4_) {
        event.event = LOWORD(lparam);
        event.ours = HIWORD(lparam) == ICON_ID;
        event.anchor = POINT{static_cast<short>(LOWORD(wparam)), static_cast<short>(HIWORD(wparam))};
        return event;
    }
    // Before version 4 the button's release is all a click or a menu request says.
    event.event = static_cast<UINT>(lparam);
    if (event.event == WM_LBUTTONUP) {
        event.event = NIN_SELECT;
    } else if (event.event == WM_RBUTTONUP) {
        event.event = WM_CONTEXTMENU;
    }
    event.ours = wparam == ICON_ID;
    GetCursorPos(&event.anchor);
    return event;
}

bool CNotifyIcon::set_window(HWND window) {
    remove();
    data_.uFlags |= NIF_MESSAGE;
    data_.hWnd = window;
    data_.uCallbackMessage = CALLBACK_MESSAGE;
    return send(data_);
}

bool CNotifyIcon::set_tip(const std::wstring& tip) {
    if (tip.empty()) {
        data_.uFlags &= ~(NIF_TIP | NIF_SHOWTIP);
    } else {
        // Beside a version-4 icon, Vista and later show the standard tip only with NIF_SHOWTIP;
        // older shells know no such flag.
        data_.uFlags |= NIF_TIP | (data_.cbSize == sizeof(NOTIFYICONDATAW) ? NIF_SHOWTIP : 0);
        copy_cut(data_.szTip, tip);
    }
    return send(data_);
}

bool CNotifyIcon::show_icon(int id) {
    CIcon icon = load_icon(instance_, id, icon_size(false));
    if (!icon.is_valid()) {
        return false;
    }
    return set_icon(icon.release());
}

bool CNotifyIcon::set_icon(HICON icon) {
    if (icon == nullptr) {
        data_.uFlags &= ~NIF_ICON;
    } else {
        data_.uFlags |= NIF_ICON;
        icon_.reset(icon);
        data_.hIcon = icon_.get();
    }
    return send(data_);
}

void CNotifyIcon::set_balloon_icon(int id) {
    balloon_icon_ = load_icon(instance_, id, icon_size((info_flags_ & NIIF_LARGE_ICON) != 0));
    data_.hBalloonIcon = balloon_icon_.get();
}

bool CNotifyIcon::show_balloon(const std::wstring& title, const std::wstring& text) {
    NOTIFYICONDATAW balloon = data_;
    balloon.uFlags |= NIF_INFO;
    balloon.uTimeout = 3000;
    balloon.dwInfoFlags = (balloon_icon_.get() == nullptr ? 0 : info_flags_) | quiet_flag_;
    copy_cut(balloon.szInfoTitle, title);
    copy_cut(balloon.szInfo, text);
    return send(balloon);
}

bool CNotifyIcon::update() {
    return send(data_);
}

void CNotifyIcon::remove() {
    icon_.reset();
    data_.hIcon = nullptr;
    data_.hBalloonIcon = nullptr;
    if (shown_) {
        if (notify_ != nullptr) {
            notify_(NIM_DELETE, &data_);
        }
        shown_ = false;
    }
    version4_ = false;
    // Unbound: a taskbar restart must not bring a removed icon back.
    data_.hWnd = nullptr;
    balloon_icon_.reset();
}

bool CNotifyIcon::on_message(UINT message) {
    if (message == 0 || message != taskbar_created_) {
        return false;
    }
    if (data_.hWnd != nullptr) {
        shown_ = false;
        if (!send(data_)) {
            // The shell may have kept the icon after all; if it has not, the next operation
            // adds it again.
            shown_ = true;
            if (!send(data_)) {
                shown_ = false;
            }
        }
    }
    return true;
}

NOTIFYICONDATAW CNotifyIcon::record() const {
    return data_;
}

bool CNotifyIcon::shown() const {
    return shown_;
}

} // namespace wapi
