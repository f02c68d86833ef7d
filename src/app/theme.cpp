#include "app/theme.h"

#include <cwchar>
#include <initializer_list>
#include <string>

#include "app/high_contrast.h"
#include "app/undocumented_dark.h"
#include "app/window_frame.h"
#include "kernel/version.h"
#include "wapi/dpi.h"

namespace app {

namespace {

// Room around a header's or a status part's text, at 96 DPI.
const int PADDING = 6;

void fill(HDC dc, const RECT& r, EColour what) {
    // The DC's own brush: nothing to make or free per rectangle.
    SetDCBrushColor(dc, colour(what, true));
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// The text of a header's column.
std::wstring header_text(HWND header, int item) {
    wchar_t text[256] = {};
    HDITEMW record = {};
    record.mask = HDI_TEXT;
    record.pszText = text;
    record.cchTextMax = 256;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&record));
    return text;
}

void draw_text(HDC dc, const std::wstring& text, RECT r, UINT dpi) {
    r.left += wapi::scale(PADDING, dpi);
    r.right -= wapi::scale(PADDING, dpi);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}

} // namespace

bool system_wants_dark() {
    if (high_contrast()) {
        return false;
    }
    DWORD light = 1;
    DWORD bytes = sizeof(light);
    return RegGetValueW(HKEY_CURRENT_USER,
                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                        L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &light, &bytes) == ERROR_SUCCESS &&
           light == 0;
}

LRESULT colour_row(NMLVCUSTOMDRAW& draw, bool dark, EColour text) {
    if (!dark) {
        // The list's own colours are the system's; only a text of another colour is set.
        if (text != EColour::GREY_TEXT) {
            return CDRF_DODEFAULT;
        }
        draw.clrText = colour(text, false);
        return CDRF_NEWFONT;
    }
    draw.clrText = colour(text, true);
    draw.clrTextBk = colour(EColour::LIST, true);
    if ((draw.nmcd.uItemState & CDIS_SELECTED) != 0) {
        // Left selected, the list would paint the row in the system's light selection colours.
        draw.nmcd.uItemState &= ~CDIS_SELECTED;
        const bool focused = GetFocus() == draw.nmcd.hdr.hwndFrom;
        draw.clrTextBk = colour(focused ? EColour::SELECTED : EColour::SELECTED_IDLE, true);
        draw.clrText = colour(focused ? EColour::SELECTED_TEXT : EColour::SELECTED_IDLE_TEXT, true);
    }
    return CDRF_NEWFONT;
}

void CTheme::attach(wapi::CWindowBase& window, wapi::CListView* forum, wapi::CListView* results,
                    wapi::CTextBox* box, wapi::CStatusBar* bar) {
    window_ = &window;
    forum_ = forum;
    results_ = results;
    box_ = box;
    bar_ = bar;
    for (wapi::CListView* list : {forum_, results_}) {
        if (list != nullptr) {
            list->notify_handler.bind<CTheme, &CTheme::on_list_notify>(this);
        }
    }
    if (bar_ != nullptr) {
        bar_->paint_handler.bind<CTheme, &CTheme::on_bar_paint>(this);
    }
    refresh(true);
}

void CTheme::detach() {
    for (wapi::CListView* list : {forum_, results_}) {
        if (list != nullptr) {
            list->notify_handler.reset();
        }
    }
    if (bar_ != nullptr) {
        bar_->paint_handler.reset();
    }
    forum_ = results_ = nullptr;
    box_ = nullptr;
    bar_ = nullptr;
    window_ = nullptr;
}

void CTheme::refresh(bool always) {
    const bool dark = system_wants_dark();
    if (dark != dark_ || always) {
        dark_ = dark;
        apply();
    }
}

void CTheme::apply() {
    if (window_ == nullptr) {
        return;
    }
    const unsigned long build = kernel::nt_version().build;
    for (wapi::CListView* list : {forum_, results_}) {
        if (list == nullptr) {
            continue;
        }
        SendMessageW(list->handle, LVM_SETBKCOLOR, 0, colour(EColour::LIST, dark_));
        SendMessageW(list->handle, LVM_SETTEXTCOLOR, 0, colour(EColour::LIST_TEXT, dark_));
        SendMessageW(list->handle, LVM_SETTEXTBKCOLOR, 0, colour(EColour::LIST, dark_));
        dark_control_theme(list->handle, dark_, false);
    }
    if (box_ != nullptr) {
        dark_control_theme(box_->handle, dark_, true);
    }
    // The sunken edge's light lines would frame every control in white; the plain border stays.
    for (wapi::CWindowBase* control : std::initializer_list<wapi::CWindowBase*>{forum_, results_, box_}) {
        const DWORD edge = dark_ ? 0 : WS_EX_CLIENTEDGE;
        if (control != nullptr && (control->ex_style & WS_EX_CLIENTEDGE) != edge) {
            control->set_ex_style((control->ex_style & ~WS_EX_CLIENTEDGE) | edge);
        }
    }
    if (bar_ != nullptr) {
        SendMessageW(bar_->handle, SB_SETBKCOLOR, 0, dark_ ? colour(EColour::BAR, true) : CLR_DEFAULT);
    }
    set_frame_attribute(window_->handle, dark_title_attribute(build), dark_ ? TRUE : FALSE);
    prefer_dark_menus(build, dark_);
    RedrawWindow(window_->handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

bool CTheme::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_SETTINGCHANGE:
        // "ImmersiveColorSet": the user's light or dark; high contrast says its own action.
        if (wparam == SPI_SETHIGHCONTRAST ||
            (lparam != 0 &&
             std::wcscmp(reinterpret_cast<const wchar_t*>(lparam), L"ImmersiveColorSet") == 0)) {
            refresh(false);
        }
        return false;
    case WM_SYSCOLORCHANGE:
        // The common controls take the system's new colours only when told.
        for (wapi::CWindowBase* control :
             std::initializer_list<wapi::CWindowBase*>{forum_, results_, box_, bar_}) {
            if (control != nullptr) {
                SendMessageW(control->handle, WM_SYSCOLORCHANGE, 0, 0);
            }
        }
        refresh(true);
        return false;
    case WM_THEMECHANGED:
        refresh(true);
        return false;
    case WM_CTLCOLOREDIT: {
        if (!dark_ || box_ == nullptr || reinterpret_cast<HWND>(lparam) != box_->handle) {
            return false;
        }
        const HDC dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, colour(EColour::BOX_TEXT, true));
        SetBkColor(dc, colour(EColour::BOX, true));
        SetDCBrushColor(dc, colour(EColour::BOX, true));
        window_->set_result(reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH)));
        return true;
    }
    case WM_ERASEBKGND: {
        if (!dark_ || window_ == nullptr) {
            return false; // the class's brush, the system's window colour
        }
        RECT client;
        GetClientRect(window_->handle, &client);
        fill(reinterpret_cast<HDC>(wparam), client, EColour::WINDOW);
        window_->set_result(1);
        return true;
    }
    default:
        return false;
    }
}

bool CTheme::on_notify(const NMHDR& header) {
    if (header.code != static_cast<UINT>(NM_CUSTOMDRAW) || results_ == nullptr ||
        header.hwndFrom != results_->handle || window_ == nullptr) {
        return false;
    }
    NMLVCUSTOMDRAW& draw = *reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&header));
    const DWORD stage = draw.nmcd.dwDrawStage;
    window_->set_result(stage == CDDS_PREPAINT       ? CDRF_NOTIFYITEMDRAW
                        : stage == CDDS_ITEMPREPAINT ? colour_row(draw, dark_, EColour::LIST_TEXT)
                                                     : CDRF_DODEFAULT);
    return true;
}

// In dark the header is painted here whole: the system's header knows only light.
bool CTheme::on_list_notify(wapi::CWindowBase* list, WPARAM, LPARAM lparam) {
    NMCUSTOMDRAW* draw = reinterpret_cast<NMCUSTOMDRAW*>(lparam);
    const HWND header = reinterpret_cast<HWND>(SendMessageW(list->handle, LVM_GETHEADER, 0, 0));
    if (!dark_ || draw == nullptr || draw->hdr.code != static_cast<UINT>(NM_CUSTOMDRAW) ||
        draw->hdr.hwndFrom != header) {
        return false;
    }
    const UINT dpi = wapi::window_dpi(header);
    switch (draw->dwDrawStage) {
    case CDDS_PREPAINT:
        list->set_result(CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT);
        return true;
    case CDDS_ITEMPREPAINT: {
        const int item = static_cast<int>(draw->dwItemSpec);
        RECT r = draw->rc;
        fill(draw->hdc, r, EColour::HEADER);
        fill(draw->hdc, RECT{r.right - 1, r.top, r.right, r.bottom}, EColour::EDGE);
        SetBkMode(draw->hdc, TRANSPARENT);
        SetTextColor(draw->hdc, colour(EColour::HEADER_TEXT, true));
        draw_text(draw->hdc, header_text(header, item), r, dpi);
        list->set_result(CDRF_SKIPDEFAULT);
        return true;
    }
    case CDDS_POSTPAINT: {
        // Right of the last column the header paints its own light background.
        RECT client, last = {};
        GetClientRect(header, &client);
        const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
        if (count > 0) {
            SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(count - 1),
                         reinterpret_cast<LPARAM>(&last));
        }
        client.left = last.right;
        fill(draw->hdc, client, EColour::HEADER);
        list->set_result(CDRF_DODEFAULT);
        return true;
    }
    default:
        return false;
    }
}

// In dark the status bar is painted here whole: its text colour cannot be set.
bool CTheme::on_bar_paint(wapi::CWindowBase* bar) {
    if (!dark_) {
        return false;
    }
    const HWND handle = bar->handle;
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(handle, &paint);
    RECT client;
    GetClientRect(handle, &client);
    fill(dc, client, EColour::BAR);
    const HGDIOBJ old_font =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(handle, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour(EColour::BAR_TEXT, true));
    const UINT dpi = wapi::window_dpi(handle);
    const int icon_size = wapi::system_metric(SM_CXSMICON, dpi);
    const int parts = static_cast<int>(SendMessageW(handle, SB_GETPARTS, 0, 0));
    for (int part = 0; part < parts; ++part) {
        RECT r;
        SendMessageW(handle, SB_GETRECT, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(&r));
        if (part + 1 < parts) {
            fill(dc, RECT{r.right - 1, r.top + 2, r.right, r.bottom - 2}, EColour::EDGE);
        }
        if (const HICON icon =
                reinterpret_cast<HICON>(SendMessageW(handle, SB_GETICON, static_cast<WPARAM>(part), 0))) {
            r.left += wapi::scale(PADDING / 2, dpi);
            DrawIconEx(dc, r.left, (r.top + r.bottom - icon_size) / 2, icon, icon_size, icon_size, 0, nullptr,
                       DI_NORMAL);
            r.left += icon_size - wapi::scale(PADDING / 2, dpi);
        }
        const int length = LOWORD(SendMessageW(handle, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0));
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(handle, SB_GETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(length));
        draw_text(dc, text, r, dpi);
    }
    SelectObject(dc, old_font);
    EndPaint(handle, &paint);
    return true;
}

} // namespace app
