#include "app/row_actions.h"

#include <initializer_list>
#include <vector>

#include <windowsx.h>

#include "app/shell.h"
#include "resources/resource.h"
#include "string/convert.h"
#include "wapi/dpi.h"

namespace app {

namespace {

// How far right of a row's left edge its menu opens, at 96 DPI.
const int ROW_MENU_INDENT = 16;

bool key_down(int key) {
    return GetKeyState(key) < 0;
}

// Ctrl shortcuts act only while Alt is up: AltGr, which types Polish letters, arrives as Ctrl+Alt.
bool control_shortcut() {
    return key_down(VK_CONTROL) && !key_down(VK_MENU);
}

} // namespace

CRowActions::CRowActions(IRowOwner& owner) : owner_(owner) {}

void CRowActions::attach(HWND window, wapi::CTextBox* box, wapi::CListView* results,
                         wapi::CListView* topics) {
    window_ = window;
    box_ = box;
    results_ = results;
    topics_ = topics;
    if (box_ != nullptr) {
        box_->key_handler.bind<CRowActions, &CRowActions::on_box_key>(this);
    }
    for (wapi::CListView* list : {results_, topics_}) {
        if (list != nullptr) {
            list->key_handler.bind<CRowActions, &CRowActions::on_list_key>(this);
        }
    }
}

void CRowActions::detach() {
    box_ = nullptr;
    results_ = nullptr;
    topics_ = nullptr;
}

wapi::CListView* CRowActions::list_of(HWND control) const {
    if (control == nullptr) {
        return nullptr;
    }
    for (wapi::CListView* list : {topics_, results_}) {
        if (list != nullptr && control == list->handle) {
            return list;
        }
    }
    return nullptr;
}

CRowActions::RRow CRowActions::row_of(const wapi::CListView& list, int item) const {
    RRow row;
    if (list.item_data(item, row.data)) {
        row.list = &list;
        row.url = owner_.row_address(list, row.data);
    }
    return row;
}

bool CRowActions::open_address(const std::string& url) {
    if (url.empty()) {
        return false;
    }
    if (shell_open(url.c_str())) {
        return true;
    }
    // No browser for the address: it can still be copied from the row's menu.
    owner_.report(L"Nie udało się otworzyć adresu: " + string::from_utf8(url));
    return false;
}

// A topic opens its page; a result row its entry or the web search.
bool CRowActions::open_row(const RRow& row) {
    if (row.url.empty()) {
        return false;
    }
    if (open_address(row.url)) {
        owner_.row_opened(*row.list, row.data);
    }
    return true;
}

void CRowActions::copy_address(const RRow& row) {
    if (row.url.empty()) {
        return;
    }
    if (!wapi::copy_to_clipboard(window_, string::from_utf8(row.url))) {
        owner_.report(L"Nie udało się skopiować adresu do schowka: inny program go zajmuje.");
    }
}

void CRowActions::show_row_menu(wapi::CListView& list, const POINT* clicked) {
    const int item = list.focused_item();
    // Taken now: a feed that comes while the menu is open refills the list, and the row's
    // position may then name another topic.
    const RRow chosen = row_of(list, item);
    if (chosen.url.empty()) {
        return;
    }
    POINT at = {0, 0};
    RECT row;
    if (clicked != nullptr) {
        at = *clicked;
    } else {
        list.ensure_visible(item);
        if (list.item_rect(item, row)) {
            at = POINT{row.left + wapi::scale(ROW_MENU_INDENT, dpi_), row.bottom};
            ClientToScreen(list.handle, &at);
        }
    }
    const wapi::CMenu menu =
        wapi::load_menu(GetModuleHandleW(nullptr), &list == topics_ ? IDM_TOPIC : IDM_ROW);
    HMENU popup = menu.is_valid() ? GetSubMenu(menu.get(), 0) : nullptr;
    if (popup == nullptr) {
        return;
    }
    SetMenuDefaultItem(popup, IDM_OPEN, FALSE);
    owner_.prepare_row_menu(list, chosen.data, popup);
    const UINT command = wapi::track_menu(window_, popup, at);
    switch (command) {
    case IDM_OPEN:
        open_row(chosen);
        break;
    case IDM_COPY_ADDRESS:
        copy_address(chosen);
        break;
    case 0:
        break;
    default:
        owner_.row_command(*chosen.list, chosen.data, command);
        break;
    }
}

bool CRowActions::on_context_menu(HWND control, LPARAM at) {
    wapi::CListView* list = list_of(control);
    if (list == nullptr) {
        return false;
    }
    // The keyboard's request has both coordinates -1; read as words, since a 64-bit LPARAM of
    // 0xFFFFFFFF is no -1.
    const POINT point = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (point.x == -1 && point.y == -1) {
        show_row_menu(*list, nullptr);
        return true;
    }
    LVHITTESTINFO hit = {};
    hit.pt = point;
    ScreenToClient(list->handle, &hit.pt);
    if (SendMessageW(list->handle, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) >= 0) {
        show_row_menu(*list, &point);
    }
    return true;
}

bool CRowActions::on_notify(const NMHDR& header) {
    wapi::CListView* list = list_of(header.hwndFrom);
    if (list == nullptr) {
        return false; // only the lists send these as NMITEMACTIVATE; the status bar's are NMMOUSE
    }
    switch (header.code) {
    case static_cast<UINT>(NM_SETFOCUS):
        list->show_focused_row();
        return false;
    case static_cast<UINT>(NM_DBLCLK):
        open_row(row_of(*list, reinterpret_cast<const NMITEMACTIVATE&>(header).iItem));
        return true;
    default:
        return false;
    }
}

// Tab and F6 go round the box, the results and the topics (with Shift the other way); a list
// that gets the focus shows its focused row.
void CRowActions::move_focus(bool back) {
    std::vector<wapi::CWindowBase*> order;
    for (wapi::CWindowBase* control : std::initializer_list<wapi::CWindowBase*>{box_, results_, topics_}) {
        if (control != nullptr) {
            order.push_back(control);
        }
    }
    if (order.empty()) {
        return;
    }
    const HWND focus = GetFocus();
    size_t at = 0;
    while (at < order.size() && order[at]->handle != focus) {
        ++at;
    }
    const size_t next = at == order.size() ? 0 : (at + (back ? order.size() - 1 : 1)) % order.size();
    SetFocus(order[next]->handle);
}

bool CRowActions::pre_translate(const MSG& message) {
    const bool down = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    const bool up = message.message == WM_KEYUP || message.message == WM_SYSKEYUP;
    if ((!down && !up) || (message.hwnd != window_ && GetParent(message.hwnd) != window_)) {
        return false;
    }
    const bool shift = key_down(VK_SHIFT);
    wapi::CListView* list = list_of(message.hwnd);
    switch (message.wParam) {
    case VK_TAB:
    case VK_F6:
        if (key_down(VK_CONTROL) || key_down(VK_MENU)) {
            return false;
        }
        if (down) {
            move_focus(shift);
        }
        return true;
    case VK_F5:
        if (key_down(VK_CONTROL) || key_down(VK_MENU)) {
            return false;
        }
        if (down) {
            PostMessageW(window_, WM_COMMAND, MAKEWPARAM(IDM_CHECK_NOW, 0), 0);
        }
        return true;
    case 'F':
        if (!down || !control_shortcut() || box_ == nullptr) {
            return false;
        }
        SetFocus(box_->handle);
        box_->select_all();
        return true;
    case VK_APPS:
    case VK_F10:
        // Shift+F10 and the menu key: the row's menu, in a list (the box has its own). The key's
        // release is kept from the list too, where it would open the menu a second time or
        // enter the window's menu mode.
        if (list == nullptr) {
            return false;
        }
        if (down && (message.wParam == VK_APPS || shift)) {
            row_menu_key_ = static_cast<UINT>(message.wParam);
            show_row_menu(*list, nullptr);
            return true;
        }
        if (up && row_menu_key_ == message.wParam) {
            row_menu_key_ = 0;
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool CRowActions::on_box_key(wapi::CWindowBase* control, const wapi::RKey& key) {
    if (box_ == nullptr || control != box_) {
        return false;
    }
    if (key.key == VK_ESCAPE) {
        owner_.hide_window();
        return true;
    }
    if (results_ == nullptr) {
        return false;
    }
    if (key.key == VK_RETURN) {
        // Held down, Enter would open the page again at the keyboard's repeat rate.
        return key.repeated || open_row(row_of(*results_, results_->focused_item()));
    }
    // The keys that move through the results while the caret stays in the box.
    static const struct {
        UINT key;
        int rows;
    } MOVES[] = {{VK_PRIOR, -8}, {VK_NEXT, 8}, {VK_UP, -1}, {VK_DOWN, 1}};
    for (const auto& move : MOVES) {
        if (key.key == move.key) {
            results_->move_selection(move.rows);
            return true;
        }
    }
    return false;
}

bool CRowActions::on_list_key(wapi::CWindowBase* control, const wapi::RKey& key) {
    if (key.key == VK_ESCAPE) {
        owner_.hide_window();
        return true;
    }
    wapi::CListView* list = control != nullptr ? list_of(control->handle) : nullptr;
    if (list == nullptr) {
        return false;
    }
    if (key.key == VK_RETURN) {
        if (!key.repeated) {
            open_row(row_of(*list, list->focused_item()));
        }
        return true;
    }
    if (key.key == 'C' && control_shortcut()) {
        copy_address(row_of(*list, list->focused_item()));
        return true;
    }
    return false;
}

} // namespace app
