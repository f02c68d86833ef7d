#include "app/pelikant_app.h"

#include <initializer_list>
#include <string>

#include "app/config.h"
#include "app/forum_view.h"
#include "app/result_view.h"
#include "app/screen_reader.h"
#include "files/small_file.h"
#include "resources/resource.h"

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

// The search box's name for screen readers, and its hint while it is empty.
const wchar_t SEARCH_NAME[] = L"Szukaj w dokumentacji";

// Where what the user has seen is kept; none when the folder cannot be made.
std::wstring seen_folder() {
    std::wstring folder;
    return files::local_app_folder(folder) ? folder : std::wstring();
}

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
    : CWindow(GetModuleHandleW(nullptr)), catalogue_(site_urls()), tray_(*this, GetModuleHandleW(nullptr)),
      rows_(*this), feed_(*this, PELIKANT_SITE_URL, seen_folder()) {
    text = TITLE;
    // At 96 DPI; on_create scales it to the window's.
    set_size(wapi::RSize{WINDOW_WIDTH, WINDOW_HEIGHT});
    // A caption and a close box, no sizing border: the size never changes.
    set_style((start_hidden ? 0 : WS_VISIBLE) | WS_CAPTION | WS_SYSMENU);
}

HICON CPelikantApp::get_icon() {
    // Shared: the window class keeps it for the life of the process.
    return LoadIconW(module_instance, MAKEINTRESOURCEW(IDI_PELIKANT));
}

// The three that take the focus are made in the order Tab goes: the box, the results, the topics.
void CPelikantApp::make_controls() {
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
}

bool CPelikantApp::on_create(CREATESTRUCTW*) {
    tray_.attach(handle);
    make_controls();
    forum_view_.attach(forum_list_);
    hotkey_ = RegisterHotKey(handle, HOTKEY_ID, HOTKEY_MODIFIERS | MOD_NOREPEAT, HOTKEY_KEY) != 0;
    make_status_bar();
    rows_.attach(handle, search_box_, result_list_, forum_list_);
    feed_.start(handle);

    if (result_list_ != nullptr) {
        const DWORD current = static_cast<DWORD>(GetWindowLongPtrW(result_list_->handle, GWL_STYLE));
        result_list_->set_style(current | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER);
        result_list_->insert_column(0, L"Wyniki wyszukiwania", RESULT_COLUMN_WIDTH);
        catalogue_.load_documentation(module_instance);
        run_search(L"");
    }

    // The window exists now, on its monitor: sizes, fonts and icons for that monitor's DPI.
    apply_dpi(wapi::window_dpi(handle));
    SetWindowPos(handle, nullptr, 0, 0, wapi::scale(WINDOW_WIDTH, dpi_), wapi::scale(WINDOW_HEIGHT, dpi_),
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    layout();
    theme_.attach(*this, forum_list_, result_list_, search_box_, status_bar_);

    if (search_box_ != nullptr) {
        search_box_->set_cue_banner((std::wstring(SEARCH_NAME) + L" (" + HOTKEY_NAME + L")").c_str());
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
    rows_.set_dpi(dpi_);
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
    forum_view_.set_dpi(module_instance, dpi_);
    if (result_list_ != nullptr) {
        result_list_->set_column_width(0, wapi::scale(RESULT_COLUMN_WIDTH, dpi_));
    }
    if (status_bar_ != nullptr && status_bar_->part_count() > STATUS_STATE) {
        wapi::RStatusPart* credit = status_bar_->part(STATUS_CREDIT);
        credit->width = wapi::scale(CREDIT_WIDTH, dpi_);
        credit->icon = wapi::load_icon(module_instance, IDI_PELIKANT, wapi::system_metric(SM_CXSMICON, dpi_));
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
}

void CPelikantApp::hide_window() {
    SetFocus(nullptr); // or the box's caret blinks on, waking the program; showing gives the focus back
    ShowWindow(handle, SW_HIDE);
}

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
    return feed_.on_message(WM_TIMER, timer_id);
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
    if (control == nullptr && feed_.on_command(LOWORD(wparam))) {
        return true;
    }
    if (code == EN_CHANGE && search_box_ != nullptr && control == search_box_->handle) {
        run_search(search_box_->get_text());
    }
    return false;
}

RTrayMenuState CPelikantApp::tray_menu_state() const {
    RTrayMenuState state;
    state.news = feed_.any_news();
    state.paused = feed_.paused();
    state.only_followed = feed_.only_followed();
    return state;
}

bool CPelikantApp::on_notify(WPARAM, NMHDR* header) {
    if (header == nullptr) {
        return false;
    }
    LRESULT drawn = 0;
    if (forum_view_.on_notify(*header, theme_.dark(), drawn)) {
        set_result(drawn);
        return true;
    }
    return theme_.on_notify(*header) || rows_.on_notify(*header);
}

bool CPelikantApp::pre_translate(const MSG& message) {
    return rows_.pre_translate(message);
}

bool CPelikantApp::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    if (feed_.on_message(message, wparam) || tray_.on_message(message, wparam, lparam) ||
        theme_.on_message(message, wparam, lparam)) {
        return true;
    }
    switch (message) {
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
    case WM_CONTEXTMENU:
        return rows_.on_context_menu(reinterpret_cast<HWND>(wparam), lparam);
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
        return false;
    }
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

bool CPelikantApp::on_destroy() {
    // The controls are deleted right after this; nothing may reach them any more. The engine is
    // stopped here, while the window still exists, so that nothing the feed thread does can wait
    // on a window that is going away. The icon goes with the window: a shell that outlives it
    // would show an icon nobody answers.
    for (const auto& named : named_controls()) {
        wapi::clear_accessible_name(named.first->handle);
    }
    rows_.detach();
    forum_view_.detach();
    theme_.detach();
    forum_list_ = nullptr;
    search_box_ = nullptr;
    result_list_ = nullptr;
    status_bar_ = nullptr;
    if (hotkey_) {
        UnregisterHotKey(handle, HOTKEY_ID);
        hotkey_ = false;
    }
    feed_.stop();
    tray_.remove();
    return false;
}

void CPelikantApp::open_topic(std::int32_t id) {
    if (rows_.open_address(feed_.topic_url(id))) {
        feed_.topic_opened(id);
    }
}

void CPelikantApp::row_opened(const wapi::CListView& list, LPARAM data) {
    if (&list == forum_list_ && data >= 0) {
        feed_.topic_opened(static_cast<std::int32_t>(data));
    }
}

void CPelikantApp::prepare_row_menu(const wapi::CListView& list, LPARAM data, HMENU menu) const {
    if (&list == forum_list_) {
        forum_view_.prepare_menu(static_cast<std::int32_t>(data), menu);
    }
}

void CPelikantApp::row_command(const wapi::CListView& list, LPARAM data, UINT command) {
    if (&list == forum_list_ && data >= 0) {
        feed_.topic_command(static_cast<std::int32_t>(data), command);
    }
}

std::string CPelikantApp::row_address(const wapi::CListView& list, LPARAM data) const {
    if (&list == forum_list_) {
        return data >= 0 ? feed_.topic_url(static_cast<std::int32_t>(data)) : std::string();
    }
    const search::IResultRow* row = catalogue_.row(static_cast<long>(data));
    return row != nullptr ? std::string(row->url().c_str()) : std::string();
}

void CPelikantApp::show_status(const std::wstring& line, const std::wstring& tooltip) {
    if (status_bar_ == nullptr || status_bar_->part_count() <= STATUS_STATE) {
        return;
    }
    wapi::RStatusPart* part = status_bar_->part(STATUS_STATE);
    part->text = line;
    part->tooltip = tooltip;
    status_bar_->apply();
}

void CPelikantApp::report(const std::wstring& problem) {
    show_status(problem, problem);
}

void CPelikantApp::show_topics(const std::vector<feed::RForumRow>& topics) {
    forum_view_.show(topics);
}

// The state line, its tooltip, and the tray's tip and icon.
void CPelikantApp::show_feed_state(const RFeedView& view) {
    show_status(view.line, view.details);
    tray_.show_state(view.tip,
                     hotkey_ ? std::wstring(HOTKEY_NAME) + L": szukaj w dokumentacji" : std::wstring());
    tray_.show_news(view.news);
}

void CPelikantApp::announce(const feed::RBalloon& balloon) {
    tray_.announce(balloon);
}

void CPelikantApp::run_search(const string::weak_string<wchar_t>& query) {
    if (result_list_ != nullptr) {
        show_results(*result_list_, catalogue_.search(query));
    }
}

} // namespace app
