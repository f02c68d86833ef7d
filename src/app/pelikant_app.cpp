#include "app/pelikant_app.h"

#include <string>

#include "app/config.h"
#include "app/tray.h"
#include "pelikant/forum_list.h"
#include "pelikant/shell.h"

namespace app {

namespace {

const int ICON_PROGRAM = 5000;
const int ICON_NEW_POSTS = 5001;
const int MENU_TRAY = 6000;
// The image list's icons: the program icon, then the eight forum topic states.
const int LIST_ICONS[] = {5000, 5002, 5004, 5003, 5005, 5006, 5008, 5007, 5009};

pelikant::RSiteUrls site_urls() {
    pelikant::RSiteUrls urls;
    urls.site = PELIKANT_SITE_URL;
    urls.search = PELIKANT_SEARCH_URL;
    return urls;
}

} // namespace

CPelikantApp::CPelikantApp()
    : CWindow(GetModuleHandleW(nullptr)),
      tray_icon(wapi::windows_version(), &tray_notify, GetModuleHandleW(nullptr)),
      feed_handler(PELIKANT_SITE_URL, nullptr, PELIKANT_WAIT_PERCENT), documentation(site_urls()) {
    text = L"Pelikant C++ | " PELIKANT_SITE_URL;
    set_size(wapi::RSize{615, 370});
    // A caption and a close box, no sizing border: the size never changes.
    set_style(WS_VISIBLE | WS_CAPTION | WS_SYSMENU);
    if (image_list.create()) {
        for (int id : LIST_ICONS) {
            wapi::CIcon icon;
            if (icon.load_small(module_instance, id)) {
                image_list.add_icon(icon);
            }
        }
    }
    feed_handler.set_view(this);
    engine.set_user_agent(pelikant::user_agent(PELIKANT_VERSION));
}

HICON CPelikantApp::get_icon() {
    // Shared: the window class keeps it for the life of the process.
    return LoadIconW(module_instance, MAKEINTRESOURCEW(ICON_PROGRAM));
}

bool CPelikantApp::on_create(CREATESTRUCTW*) {
    tray_icon.set_window(handle);
    tray_icon.set_tip(L"" PELIKANT_SITE_URL);
    tray_icon.show_icon(ICON_PROGRAM);

    forum_list = new wapi::CListView();
    if (wapi::CWindowBase::add_control(forum_list, this)) {
        forum_list->set_image_list(image_list);
    } else {
        forum_list = nullptr;
    }

    status_bar = new wapi::CStatusBar();
    if (wapi::CWindowBase::add_control(status_bar, this)) {
        if (wapi::RStatusPart* part = status_bar->add_part()) {
            part->icon.load_small(module_instance, ICON_PROGRAM);
            part->text = L"Autor: zespół Pelikanta";
        }
        status_bar->apply();
    } else {
        status_bar = nullptr;
    }

    search_box = new wapi::CTextBox();
    search_box->set_position(wapi::RPoint{0, 130});
    search_box->set_size(wapi::RSize{300, 24});
    if (!wapi::CWindowBase::add_control(search_box, this)) {
        search_box = nullptr;
    }

    result_list = new wapi::CListView();
    result_list->set_position(wapi::RPoint{0, 180});
    if (!wapi::CWindowBase::add_control(result_list, this)) {
        result_list = nullptr;
    }

    if (forum_list != nullptr) {
        pelikant::setup_forum_list(*forum_list, shown_topics);
    }

    stop_timer();
    poll_timer.value = SetTimer(handle, POLL_TIMER_ID, POLL_PERIOD_MS, nullptr);
    poll_timer.running = poll_timer.value != 0 ? 1 : 0;

    engine.set_notifications(&feed_handler);
    engine.start();
    request_feed();

    if (result_list != nullptr) {
        const DWORD current = static_cast<DWORD>(GetWindowLongPtrW(result_list->handle, GWL_STYLE));
        result_list->set_style(current | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER);
        result_list->insert_column(0, L"Wyniki wyszukiwania", 580);
        documentation.load_documentation(module_instance);
        run_search(L"");
    }

    layout();

    if (search_box != nullptr) {
        search_box->key_handler.bind<CPelikantApp, &CPelikantApp::on_search_key>(this);
        SetFocus(search_box->handle);
    }
    return false;
}

void CPelikantApp::layout() {
    if (forum_list == nullptr || search_box == nullptr) {
        return;
    }
    wapi::dock(forum_list, this, wapi::EDGE_TOP | wapi::EDGE_LEFT | wapi::EDGE_RIGHT);
    wapi::dock(search_box, this, wapi::EDGE_LEFT | wapi::EDGE_RIGHT);
    if (result_list != nullptr) {
        wapi::attach(result_list, search_box, wapi::EDGE_TOP);
        if (status_bar != nullptr) {
            wapi::attach(result_list, status_bar, wapi::EDGE_BOTTOM);
        }
        wapi::dock(result_list, this, wapi::EDGE_LEFT | wapi::EDGE_RIGHT);
    }
}

bool CPelikantApp::on_size(int, int, WPARAM) {
    layout();
    if (status_bar != nullptr) {
        status_bar->resize();
    }
    return false;
}

bool CPelikantApp::on_close() {
    // The close box only hides the window into the tray.
    toggle_window();
    return true;
}

void CPelikantApp::toggle_window() {
    WINDOWINFO info = {};
    info.cbSize = sizeof(info);
    if (GetWindowInfo(handle, &info) && (info.dwStyle & WS_MINIMIZE) != 0) {
        hidden = true;
    }
    const bool was_hidden = hidden;
    ShowWindow(handle, was_hidden ? SW_RESTORE : SW_HIDE);
    hidden = !hidden;
    if (was_hidden) {
        BringWindowToTop(handle);
        SetForegroundWindow(handle);
        if (search_box != nullptr) {
            SetFocus(search_box->handle);
        }
    }
    // Seen: back to the plain icon after a new-posts announcement.
    tray_icon.show_icon(ICON_PROGRAM);
}

bool CPelikantApp::on_timer(WPARAM timer_id, LPARAM) {
    if (poll_timer.running == 0 || timer_id != static_cast<WPARAM>(poll_timer.running)) {
        return false;
    }
    request_feed();
    return true;
}

bool CPelikantApp::on_command(HWND control, WPARAM wparam, WORD code) {
    if (LOWORD(wparam) == EXIT_COMMAND) {
        close_window();
        return true;
    }
    if (code == EN_CHANGE && search_box != nullptr && control == search_box->handle) {
        run_search(search_box->get_text());
    }
    return false;
}

bool CPelikantApp::on_notify(WPARAM, NMHDR* header) {
    if (header == nullptr || header->code != static_cast<UINT>(NM_DBLCLK)) {
        return false;
    }
    const int item = reinterpret_cast<NMITEMACTIVATE*>(header)->iItem;
    if (forum_list != nullptr && header->hwndFrom == forum_list->handle) {
        LPARAM id = -1;
        if (forum_list->item_data(item, id) && id >= 0) {
            feed_handler.open_topic(static_cast<std::int32_t>(id));
        }
        return true;
    }
    if (result_list != nullptr && header->hwndFrom == result_list->handle) {
        LPARAM row = 0;
        return result_list->item_data(item, row) && documentation.activate_row(static_cast<long>(row));
    }
    return false;
}

bool CPelikantApp::on_search_key(wapi::CWindowBase* control, UINT key, LPARAM, UINT, bool, bool) {
    if (search_box == nullptr || control != search_box || result_list == nullptr) {
        return false;
    }
    switch (key) {
    case VK_RETURN: {
        LPARAM row = 0;
        return result_list->item_data(result_list->focused_item(), row) &&
               documentation.activate_row(static_cast<long>(row));
    }
    case VK_PRIOR:
        result_list->move_selection(-8);
        return true;
    case VK_NEXT:
        result_list->move_selection(8);
        return true;
    case VK_UP:
        result_list->move_selection(-1);
        return true;
    case VK_DOWN:
        result_list->move_selection(1);
        return true;
    default:
        return false;
    }
}

bool CPelikantApp::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_FEED_REPLACED) {
        fill_forum_list();
        return true;
    }
    if (tray_icon.on_message(message)) {
        return false; // the taskbar came back; the icon was added again
    }
    if (message == wapi::CNotifyIcon::CALLBACK_MESSAGE && wparam == wapi::CNotifyIcon::ICON_ID) {
        return on_tray(static_cast<UINT>(lparam));
    }
    return false;
}

// Every mouse message of the icon is handled here: passed on to DefWindowProc it would mean
// something else to the window.
bool CPelikantApp::on_tray(UINT mouse_message) {
    if (mouse_message == WM_LBUTTONUP) {
        toggle_window();
    } else if (mouse_message == WM_RBUTTONDOWN) {
        wapi::CMenu menu;
        if (menu.load(module_instance, MENU_TRAY) && menu.sub_menu(0) != nullptr) {
            wapi::popup_menu(handle, menu.sub_menu(0));
        }
    }
    return true;
}

bool CPelikantApp::on_destroy() {
    // The controls were deleted just before this; nothing may reach them any more. The feed
    // thread is detached and the engine stopped here, while the window still exists, so that
    // nothing the feed thread does can wait on a window that is going away.
    forum_list = nullptr;
    search_box = nullptr;
    result_list = nullptr;
    status_bar = nullptr;
    stop_timer();
    engine.set_notifications(nullptr);
    engine.stop();
    return false;
}

void CPelikantApp::fill_forum_list() {
    if (forum_list == nullptr) {
        return;
    }
    std::vector<pelikant::RForumRow> rows;
    feed_handler.visit_last([&rows](const pelikant::RForumFeed& feed) { rows = pelikant::forum_rows(feed); });
    pelikant::fill_forum_list(*forum_list, rows, shown_topics);
}

void CPelikantApp::announce(const string::weak_string<wchar_t>& title,
                            const string::weak_string<wchar_t>& text) {
    tray_icon.show_icon(ICON_NEW_POSTS);
    tray_icon.set_balloon_icon(ICON_NEW_POSTS);
    tray_icon.show_balloon(std::wstring(title.c_str(), static_cast<size_t>(title.length())),
                           std::wstring(text.c_str(), static_cast<size_t>(text.length())));
}

void CPelikantApp::feed_replaced() {
    post(WM_FEED_REPLACED);
}

void CPelikantApp::feed_checked(const pelikant::RFeedCheck&) {}

void CPelikantApp::open_url(const string::weak_string<char>& url) {
    const std::string address(url.c_str(), static_cast<size_t>(url.length()));
    pelikant::shell_open(address.c_str());
}

void CPelikantApp::run_search(const string::weak_string<wchar_t>& query) {
    if (result_list == nullptr) {
        return;
    }
    pelikant::CSearchResultDB result;
    documentation.index().match(query, result);
    documentation.show_results(result, *result_list);
}

void CPelikantApp::request_feed() {
    // A tick inside a wait after failed polls asks for nothing.
    feed_handler.poll(engine, static_cast<std::int64_t>(GetTickCount64()));
}

void CPelikantApp::stop_timer() {
    if (poll_timer.running != 0 && handle != nullptr) {
        KillTimer(handle, POLL_TIMER_ID);
    }
    poll_timer.value = 0;
    poll_timer.running = 0;
}

} // namespace app
