#include "app/pelikant_app.h"

#include <string>

#include "app/answered.h"
#include "app/config.h"
#include "app/forum_view.h"
#include "app/result_view.h"
#include "app/screen_reader.h"
#include "app/shell.h"
#include "app/tray.h"
#include "resources/resource.h"
#include "string/convert.h"
#include "xml/parse_xml.h"

namespace app {

namespace {

// The window's design, at 96 DPI: its outer size, the forum list above, the search box below it,
// the result list down to the status bar, whose first part holds the credit line.
const int WINDOW_WIDTH = 615;
const int WINDOW_HEIGHT = 370;
const int FORUM_HEIGHT = 110;
const int BOX_TOP = 130;
const int BOX_HEIGHT = 24;
const int RESULT_COLUMN_WIDTH = 580;
const int CREDIT_WIDTH = 150;
const int STATUS_CREDIT = 0;
const int STATUS_STATE = 1;

// A click on the tray icon takes the foreground from the window just before the click arrives.
const DWORD FOREGROUND_GRACE_MS = 500;

// How far right of a row's left edge its menu opens, at 96 DPI.
const int ROW_MENU_INDENT = 16;
// The search box's name for screen readers, and its hint while it is empty.
const wchar_t SEARCH_NAME[] = L"Szukaj w dokumentacji";

search::RSiteUrls site_urls() {
    search::RSiteUrls urls;
    urls.site = PELIKANT_SITE_URL;
    urls.search = PELIKANT_SEARCH_URL;
    return urls;
}

} // namespace

const wchar_t* const CPelikantApp::HOTKEY_NAME = L"Win+Shift+P";
const wchar_t* const CPelikantApp::TITLE = L"Pelikant C++ | " PELIKANT_SITE_URL;

CPelikantApp::CPelikantApp(bool start_hidden)
    : CWindow(GetModuleHandleW(nullptr)),
      tray_icon_(kernel::nt_version(), &tray_notify, GetModuleHandleW(nullptr)),
      feed_handler_(PELIKANT_SITE_URL, nullptr, PELIKANT_WAIT_PERCENT), catalogue_(site_urls()) {
    text = TITLE;
    // At 96 DPI; on_create scales it to the window's.
    set_size(wapi::RSize{WINDOW_WIDTH, WINDOW_HEIGHT});
    // A caption and a close box, no sizing border: the size never changes.
    set_style((start_hidden ? 0 : WS_VISIBLE) | WS_CAPTION | WS_SYSMENU);
    feed_handler_.set_view(this);
    engine_.set_user_agent(feed::user_agent(PELIKANT_VERSION));
    engine_.set_transfer_limit(PELIKANT_TRANSFER_LIMIT_MS);
}

HICON CPelikantApp::get_icon() {
    // Shared: the window class keeps it for the life of the process.
    return LoadIconW(module_instance, MAKEINTRESOURCEW(IDI_PELIKANT));
}

bool CPelikantApp::on_create(CREATESTRUCTW*) {
    tray_icon_.set_window(handle);
    tray_icon_.show_icon(IDI_PELIKANT);

    // The three that take the focus, in the order Tab goes: the box, the results, the topics.
    forum_list_ = new wapi::CListView();
    forum_list_->style |= WS_TABSTOP;
    if (!wapi::CWindowBase::add_control(forum_list_, this)) {
        forum_list_ = nullptr;
    }
    status_bar_ = new wapi::CStatusBar();
    if (!wapi::CWindowBase::add_control(status_bar_, this)) {
        status_bar_ = nullptr;
    }
    search_box_ = new wapi::CTextBox();
    search_box_->style |= WS_TABSTOP;
    if (!wapi::CWindowBase::add_control(search_box_, this)) {
        search_box_ = nullptr;
    }
    result_list_ = new wapi::CListView();
    result_list_->style |= WS_TABSTOP;
    if (!wapi::CWindowBase::add_control(result_list_, this)) {
        result_list_ = nullptr;
    }

    if (forum_list_ != nullptr) {
        setup_forum_list(*forum_list_, shown_topics_);
        forum_list_->key_handler.bind<CPelikantApp, &CPelikantApp::on_list_key>(this);
    }
    hotkey_ = RegisterHotKey(handle, HOTKEY_ID, HOTKEY_MODIFIERS | MOD_NOREPEAT, HOTKEY_KEY) != 0;
    make_status_bar();

    stop_timer();
    poll_timer_.value = SetTimer(handle, POLL_TIMER_ID, POLL_PERIOD_MS, nullptr);
    poll_timer_.running = poll_timer_.value != 0 ? 1 : 0;

    engine_.set_notifications(&feed_handler_);
    engine_.start();
    request_feed();

    if (result_list_ != nullptr) {
        const DWORD current = static_cast<DWORD>(GetWindowLongPtrW(result_list_->handle, GWL_STYLE));
        result_list_->set_style(current | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER);
        result_list_->insert_column(0, L"Wyniki wyszukiwania", RESULT_COLUMN_WIDTH);
        result_list_->key_handler.bind<CPelikantApp, &CPelikantApp::on_list_key>(this);
        catalogue_.load_documentation(module_instance);
        run_search(L"");
    }

    // The window exists now, on its monitor: sizes, fonts and icons for that monitor's DPI.
    apply_dpi(wapi::window_dpi(handle));
    SetWindowPos(handle, nullptr, 0, 0, wapi::scale(WINDOW_WIDTH, dpi_), wapi::scale(WINDOW_HEIGHT, dpi_),
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    layout();
    show_state();

    if (search_box_ != nullptr) {
        search_box_->key_handler.bind<CPelikantApp, &CPelikantApp::on_search_key>(this);
        search_box_->set_cue_banner((std::wstring(SEARCH_NAME) + L" (" + HOTKEY_NAME + L")").c_str());
        SetFocus(search_box_->handle);
    }
    for (const auto& named : named_controls()) {
        name_for_screen_readers(named.first->handle, named.second);
    }
    return false;
}

// What a screen reader says of each control that takes the focus.
std::vector<std::pair<wapi::CWindowBase*, const wchar_t*>> CPelikantApp::named_controls() const {
    std::vector<std::pair<wapi::CWindowBase*, const wchar_t*>> named;
    if (search_box_ != nullptr) {
        named.emplace_back(search_box_, SEARCH_NAME);
    }
    if (result_list_ != nullptr) {
        named.emplace_back(result_list_, L"Wyniki wyszukiwania");
    }
    if (forum_list_ != nullptr) {
        named.emplace_back(forum_list_, L"Tematy na forum");
    }
    return named;
}

// The credit line (or, when the global key is taken, that news) and the feed's state.
void CPelikantApp::make_status_bar() {
    if (status_bar_ == nullptr) {
        return;
    }
    wapi::RStatusPart* credit = status_bar_->add_part();
    wapi::RStatusPart* state = status_bar_->add_part();
    if (credit == nullptr || state == nullptr) {
        return;
    }
    if (hotkey_) {
        credit->text = L"Autor: zespół Pelikanta";
        credit->tooltip = std::wstring(HOTKEY_NAME) + L" pokazuje okno i szukanie z każdego miejsca.";
    } else {
        credit->text = std::wstring(L"Skrót ") + HOTKEY_NAME + L" zajęty";
        credit->tooltip = std::wstring(L"Inny program używa już skrótu ") + HOTKEY_NAME +
                          L"; Pelikant działa bez niego. Okno pokazuje ikona w obszarze powiadomień.";
    }
}

void CPelikantApp::apply_dpi(UINT new_dpi) {
    dpi_ = new_dpi;
    wapi::CFont next_font = wapi::message_font(dpi_);
    if (next_font.is_valid()) {
        for (wapi::CWindowBase* control :
             std::initializer_list<wapi::CWindowBase*>{forum_list_, search_box_, result_list_, status_bar_}) {
            if (control != nullptr) {
                control->set_font(next_font.get());
            }
        }
        font_ = std::move(next_font); // the old font goes only now, no control holding it any more
    }
    const int icon_size = wapi::system_metric(SM_CXSMICON, dpi_);
    wapi::CImageList next_images = wapi::make_image_list(icon_size);
    if (next_images.is_valid()) {
        for (const feed::RTopicIcon& image : feed::LIST_ICONS) {
            const wapi::CIcon icon = wapi::load_icon(module_instance, image.icon, icon_size);
            wapi::add_icon(next_images.get(), icon.get());
        }
        if (forum_list_ != nullptr) {
            forum_list_->set_image_list(next_images.get());
        }
        image_list_ = std::move(next_images);
    }
    if (forum_list_ != nullptr) {
        size_forum_columns(*forum_list_, dpi_);
    }
    if (result_list_ != nullptr) {
        result_list_->set_column_width(0, wapi::scale(RESULT_COLUMN_WIDTH, dpi_));
    }
    if (status_bar_ != nullptr && status_bar_->part_count() > STATUS_STATE) {
        wapi::RStatusPart* credit = status_bar_->part(STATUS_CREDIT);
        credit->width = wapi::scale(CREDIT_WIDTH, dpi_);
        credit->icon = wapi::load_icon(module_instance, IDI_PELIKANT, icon_size);
        status_bar_->apply();
    }
}

void CPelikantApp::layout() {
    if (forum_list_ == nullptr || search_box_ == nullptr) {
        return;
    }
    // The bar places itself along the bottom edge first, at the height of its font.
    if (status_bar_ != nullptr) {
        status_bar_->resize();
    }
    const wapi::RRect client = client_rect();
    forum_list_->set_rect(wapi::RRect{0, 0, client.right, wapi::scale(FORUM_HEIGHT, dpi_) - 1});
    const int box_top = wapi::scale(BOX_TOP, dpi_);
    search_box_->set_rect(wapi::RRect{0, box_top, client.right, box_top + wapi::scale(BOX_HEIGHT, dpi_) - 1});
    if (result_list_ != nullptr) {
        wapi::attach(result_list_, search_box_, wapi::EDGE_TOP);
        if (status_bar_ != nullptr) {
            wapi::attach(result_list_, status_bar_, wapi::EDGE_BOTTOM);
        }
        wapi::dock(result_list_, this, wapi::EDGE_LEFT | wapi::EDGE_RIGHT);
    }
}

bool CPelikantApp::on_size(int, int, WPARAM) {
    layout();
    return false;
}

bool CPelikantApp::on_close() {
    // The close box only hides the window into the tray.
    hide_window();
    return true;
}

bool CPelikantApp::in_front() const {
    if (!IsWindowVisible(handle) || IsIconic(handle)) {
        return false;
    }
    return GetForegroundWindow() == handle || GetTickCount() - deactivated_at_ < FOREGROUND_GRACE_MS;
}

void CPelikantApp::toggle_window() {
    if (in_front()) {
        hide_window();
    } else {
        show_window();
    }
}

void CPelikantApp::show_window() {
    ShowWindow(handle, IsIconic(handle) ? SW_RESTORE : SW_SHOW);
    BringWindowToTop(handle);
    SetForegroundWindow(handle);
    if (search_box_ != nullptr) {
        SetFocus(search_box_->handle);
    }
    // Seen: back to the plain icon after a new-posts announcement.
    tray_icon_.show_icon(IDI_PELIKANT);
}

void CPelikantApp::hide_window() {
    ShowWindow(handle, SW_HIDE);
    tray_icon_.show_icon(IDI_PELIKANT);
}

// The global key: the search, ready to type into, or away when it is in front already.
void CPelikantApp::summon() {
    if (in_front()) {
        hide_window();
        return;
    }
    show_window();
    if (search_box_ != nullptr) {
        search_box_->select_all();
    }
}

bool CPelikantApp::on_timer(WPARAM timer_id, LPARAM) {
    if (poll_timer_.running == 0 || timer_id != POLL_TIMER_ID) {
        return false;
    }
    request_feed();
    return true;
}

bool CPelikantApp::on_command(HWND control, WPARAM wparam, WORD code) {
    if (LOWORD(wparam) == IDM_EXIT) {
        close_window();
        return true;
    }
    if (LOWORD(wparam) == IDM_SHOW && control == nullptr) {
        show_window();
        return true;
    }
    if (code == EN_CHANGE && search_box_ != nullptr && control == search_box_->handle) {
        run_search(search_box_->get_text());
    }
    return false;
}

bool CPelikantApp::on_notify(WPARAM, NMHDR* header) {
    wapi::CListView* list = header != nullptr ? list_of(header->hwndFrom) : nullptr;
    if (list == nullptr) {
        return false; // only the lists send these as NMITEMACTIVATE; the status bar's are NMMOUSE
    }
    switch (header->code) {
    case static_cast<UINT>(NM_SETFOCUS):
        list->show_focused_row();
        return false;
    case static_cast<UINT>(NM_DBLCLK):
        open_row(*list, reinterpret_cast<NMITEMACTIVATE*>(header)->iItem);
        return true;
    default:
        return false;
    }
}

wapi::CListView* CPelikantApp::list_of(HWND control) const {
    if (control == nullptr) {
        return nullptr;
    }
    if (forum_list_ != nullptr && control == forum_list_->handle) {
        return forum_list_;
    }
    if (result_list_ != nullptr && control == result_list_->handle) {
        return result_list_;
    }
    return nullptr;
}

// A topic opens its page; a result row its entry or the web search.
bool CPelikantApp::open_row(const wapi::CListView& list, int item) {
    LPARAM data = -1;
    if (!list.item_data(item, data)) {
        return false;
    }
    if (&list == forum_list_) {
        if (data >= 0) {
            feed_handler_.open_topic(static_cast<std::int32_t>(data));
        }
        return true;
    }
    return activate_row(static_cast<long>(data));
}

// The address a row opens, UTF-16; empty for none.
std::wstring CPelikantApp::row_address(const wapi::CListView& list, int item) const {
    LPARAM data = -1;
    if (!list.item_data(item, data)) {
        return std::wstring();
    }
    if (&list == forum_list_) {
        return data >= 0 ? string::from_utf8(feed_handler_.topic_url(static_cast<std::int32_t>(data)))
                         : std::wstring();
    }
    const search::IResultRow* row = catalogue_.row(static_cast<long>(data));
    return row != nullptr ? string::from_utf8(std::string(row->url().c_str())) : std::wstring();
}

// "Otwórz" and "Kopiuj adres" for a row: at the focused row when the keyboard asks, at the point
// clicked otherwise.
void CPelikantApp::show_row_menu(wapi::CListView& list, const POINT* clicked) {
    const int item = list.focused_item();
    if (item < 0) {
        return;
    }
    POINT at = {0, 0};
    RECT row;
    if (clicked != nullptr) {
        at = *clicked;
    } else if (list.item_rect(item, row)) {
        at = POINT{row.left + wapi::scale(ROW_MENU_INDENT, dpi_), row.bottom};
        ClientToScreen(list.handle, &at);
    }
    const wapi::CMenu menu = wapi::load_menu(module_instance, IDM_ROW);
    HMENU popup = menu.is_valid() ? GetSubMenu(menu.get(), 0) : nullptr;
    if (popup == nullptr) {
        return;
    }
    SetMenuDefaultItem(popup, IDM_OPEN, FALSE);
    switch (wapi::track_menu(handle, popup, at)) {
    case IDM_OPEN:
        open_row(list, item);
        break;
    case IDM_COPY_ADDRESS:
        copy_address(list);
        break;
    default:
        break;
    }
}

void CPelikantApp::copy_address(const wapi::CListView& list) {
    const std::wstring address = row_address(list, list.focused_item());
    if (!address.empty()) {
        wapi::copy_to_clipboard(handle, address);
    }
}

// Tab and F6 go round the box, the results and the topics (with Shift the other way); a list
// that gets the focus shows its focused row.
void CPelikantApp::move_focus(bool back) {
    std::vector<wapi::CWindowBase*> order;
    for (wapi::CWindowBase* control :
         std::initializer_list<wapi::CWindowBase*>{search_box_, result_list_, forum_list_}) {
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

bool CPelikantApp::pre_translate(const MSG& message) {
    const bool down = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    const bool up = message.message == WM_KEYUP || message.message == WM_SYSKEYUP;
    if ((!down && !up) || (message.hwnd != handle && GetParent(message.hwnd) != handle)) {
        return false;
    }
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool alt = GetKeyState(VK_MENU) < 0;
    wapi::CListView* list = list_of(message.hwnd);
    switch (message.wParam) {
    case VK_TAB:
    case VK_F6:
        if (control || alt) {
            return false;
        }
        if (down) {
            move_focus(shift);
        }
        return true;
    case 'F':
        if (!control || alt || !down || search_box_ == nullptr) {
            return false;
        }
        SetFocus(search_box_->handle);
        search_box_->select_all();
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

bool CPelikantApp::on_search_key(wapi::CWindowBase* control, UINT key, LPARAM, UINT, bool, bool) {
    if (search_box_ == nullptr || control != search_box_) {
        return false;
    }
    if (key == VK_ESCAPE) {
        hide_window();
        return true;
    }
    if (result_list_ == nullptr) {
        return false;
    }
    switch (key) {
    case VK_RETURN:
        return open_row(*result_list_, result_list_->focused_item());
    case VK_PRIOR:
        result_list_->move_selection(-8);
        return true;
    case VK_NEXT:
        result_list_->move_selection(8);
        return true;
    case VK_UP:
        result_list_->move_selection(-1);
        return true;
    case VK_DOWN:
        result_list_->move_selection(1);
        return true;
    default:
        return false;
    }
}

bool CPelikantApp::on_list_key(wapi::CWindowBase* control, UINT key, LPARAM, UINT, bool, bool) {
    wapi::CListView* list = list_of(control->handle);
    if (key == VK_ESCAPE) {
        hide_window();
        return true;
    }
    if (list == nullptr) {
        return false;
    }
    if (key == VK_RETURN) {
        open_row(*list, list->focused_item());
        return true;
    }
    if (key == 'C' && GetKeyState(VK_CONTROL) < 0) {
        copy_address(*list);
        return true;
    }
    return false;
}

bool CPelikantApp::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_FEED_REPLACED:
        fill_forum_list();
        return true;
    case WM_FEED_CHECKED:
        show_state();
        return true;
    case WM_SHOW_REQUEST:
        show_window();
        return true;
    case WM_HOTKEY:
        if (wparam != static_cast<WPARAM>(HOTKEY_ID)) {
            return false;
        }
        summon();
        return true;
    case WM_ACTIVATE:
        return on_activate(wparam);
    case WM_DPICHANGED: {
        // The system suggests where the window goes at the new DPI.
        const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
        apply_dpi(HIWORD(wparam));
        if (suggested != nullptr) {
            SetWindowPos(handle, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        layout();
        return true;
    }
    default:
        break;
    }
    if (tray_icon_.on_message(message)) {
        return false; // the taskbar came back; the icon was added again
    }
    if (message == wapi::CNotifyIcon::CALLBACK_MESSAGE) {
        const wapi::RTrayEvent tray = tray_icon_.read_callback(wparam, lparam);
        return tray.ours && on_tray(tray);
    }
    if (message == WM_CONTEXTMENU) {
        return on_context_menu(reinterpret_cast<HWND>(wparam), lparam);
    }
    return false;
}

// A right click on a row of a list (the list has focused it), or the keyboard's request where
// the system makes one.
bool CPelikantApp::on_context_menu(HWND control, LPARAM at) {
    wapi::CListView* list = list_of(control);
    if (list == nullptr) {
        return false;
    }
    if (at == -1) {
        show_row_menu(*list, nullptr);
        return true;
    }
    POINT clicked = {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
    LVHITTESTINFO hit = {};
    hit.pt = clicked;
    ScreenToClient(list->handle, &hit.pt);
    if (SendMessageW(list->handle, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) >= 0) {
        show_row_menu(*list, &clicked);
    }
    return true;
}

// Whenever the window comes to the front (Alt+Tab, the taskbar), typing goes to the search.
bool CPelikantApp::on_activate(WPARAM wparam) {
    if (LOWORD(wparam) == WA_INACTIVE) {
        deactivated_at_ = GetTickCount();
        return false;
    }
    if (search_box_ == nullptr || HIWORD(wparam) != 0) {
        return false; // minimised: DefWindowProc's focus rules
    }
    SetFocus(search_box_->handle);
    return true;
}

// Every message of the icon is handled here: passed on to DefWindowProc it would mean something
// else to the window. The button messages that come beside a click or the menu are left alone.
bool CPelikantApp::on_tray(const wapi::RTrayEvent& tray) {
    switch (tray.event) {
    case NIN_SELECT:
        // The click that ends a double click is no click of its own.
        if (double_clicked_at_ != 0 && GetTickCount() - double_clicked_at_ <= GetDoubleClickTime()) {
            double_clicked_at_ = 0;
            break;
        }
        double_clicked_at_ = 0;
        toggle_window();
        break;
    case NIN_KEYSELECT:
        show_window();
        break;
    case WM_LBUTTONDBLCLK:
        // Its first click has toggled already; it ends with the window shown.
        double_clicked_at_ = GetTickCount() | 1;
        show_window();
        break;
    case WM_CONTEXTMENU: {
        const wapi::CMenu menu = wapi::load_menu(module_instance, IDM_TRAY);
        HMENU popup = menu.is_valid() ? GetSubMenu(menu.get(), 0) : nullptr;
        if (popup != nullptr) {
            SetMenuDefaultItem(popup, IDM_SHOW, FALSE);
            const UINT chosen = wapi::track_menu(handle, popup, tray.anchor);
            if (chosen != 0) {
                PostMessageW(handle, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
            }
        }
        break;
    }
    case NIN_BALLOONUSERCLICK: {
        const std::int32_t topic = balloon_topic_.load();
        if (topic >= 0) {
            feed_handler_.open_topic(topic);
        }
        tray_icon_.show_icon(IDI_PELIKANT);
        break;
    }
    default:
        break;
    }
    return true;
}

bool CPelikantApp::on_destroy() {
    // The controls are deleted right after this; nothing may reach them any more. The feed
    // thread is detached and the engine stopped here, while the window still exists, so that
    // nothing the feed thread does can wait on a window that is going away. The icon goes with
    // the window: a shell that outlives it would show an icon nobody answers.
    for (const auto& named : named_controls()) {
        wapi::clear_accessible_name(named.first->handle);
    }
    forum_list_ = nullptr;
    search_box_ = nullptr;
    result_list_ = nullptr;
    status_bar_ = nullptr;
    if (hotkey_) {
        UnregisterHotKey(handle, HOTKEY_ID);
        hotkey_ = false;
    }
    stop_timer();
    engine_.set_notifications(nullptr);
    engine_.stop();
    tray_icon_.remove();
    return false;
}

void CPelikantApp::fill_forum_list() {
    if (forum_list_ == nullptr) {
        return;
    }
    std::vector<feed::RForumRow> rows;
    feed_handler_.visit_last([&rows](const xml::RForumFeed& feed) { rows = feed::forum_rows(feed); });
    app::fill_forum_list(*forum_list_, rows, shown_topics_);
}

// The state line, its tooltip and the tray tip, from the last answer to a poll.
void CPelikantApp::show_state() {
    feed::RFeedState state = feed::waiting_state();
    {
        kernel::CLock guard(check_lock_);
        if (checked_) {
            state = feed::feed_state(check_, checked_at_);
        }
    }
    if (status_bar_ != nullptr && status_bar_->part_count() > STATUS_STATE) {
        wapi::RStatusPart* part = status_bar_->part(STATUS_STATE);
        part->text = state.line;
        part->tooltip = state.details;
        status_bar_->apply();
    }
    std::wstring tip = L"Pelikant: " + state.tip;
    if (hotkey_) {
        tip += std::wstring(L"\n") + HOTKEY_NAME + L": szukaj w dokumentacji";
    }
    tray_icon_.set_tip(tip);
}

void CPelikantApp::announce(const feed::RBalloon& balloon) {
    balloon_topic_ = balloon.topic_id;
    tray_icon_.show_icon(IDI_NEW_POSTS);
    tray_icon_.set_balloon_icon(IDI_NEW_POSTS);
    tray_icon_.show_balloon(string::to_standard(balloon.title), string::to_standard(balloon.text));
}

void CPelikantApp::feed_replaced() {
    post(WM_FEED_REPLACED);
}

void CPelikantApp::feed_checked(const feed::RFeedCheck& check) {
    {
        kernel::CLock guard(check_lock_);
        check_ = check;
        GetLocalTime(&checked_at_);
        checked_ = true;
    }
    post(WM_FEED_CHECKED);
    poll_answered(check);
}

void CPelikantApp::open_url(const string::weak_string<char>& url) {
    const std::string address(url.c_str(), static_cast<size_t>(url.length()));
    shell_open(address.c_str());
}

void CPelikantApp::run_search(const string::weak_string<wchar_t>& query) {
    if (result_list_ == nullptr) {
        return;
    }
    show_results(*result_list_, catalogue_.search(query));
}

bool CPelikantApp::activate_row(long row_id) const {
    const search::IResultRow* row = catalogue_.row(row_id);
    if (row == nullptr) {
        return false;
    }
    shell_open(row->url().c_str());
    return true;
}

void CPelikantApp::request_feed() {
    // A tick inside a wait after failed polls asks for nothing.
    feed_handler_.poll(engine_, static_cast<std::int64_t>(GetTickCount64()));
}

void CPelikantApp::stop_timer() {
    if (poll_timer_.running != 0 && handle != nullptr) {
        KillTimer(handle, POLL_TIMER_ID);
    }
    poll_timer_.value = 0;
    poll_timer_.running = 0;
}

} // namespace app
