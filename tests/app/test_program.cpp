// The real program, built against the test runner's feed server, driven from outside the way a
// person uses it: what its lists show, what the tray and the browser are asked to do (its test
// build logs both), the keys, hiding and showing, and the exit.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "app/colours.h"
#include "app/config.h"
#include "feed/seen_file.h"
#include "app/forum_view.h"
#include "feed_server.h"
#include "process_figures.h"
#include "resources/resource.h"
#include "search/catalogue.h"
#include "started_process.h"
#include "string/convert.h"
#include "wapi/dpi.h"
#include "wapi/notify_icon.h"
#include "window_shot.h"
#include "xml/parse_xml.h"

namespace {

using feed_server::escape;
using feed_server::HOSTILE;

std::string get(const std::string& path, const std::string* post_body = nullptr) {
    return feed_server::get(PELIKANT_SITE_URL, path, post_body);
}

// What the next feed downloads get; the count of feed requests so far.
int script_feed(const std::string& query) {
    return std::atoi(get("/t/feed" + query).c_str());
}
int serve_feed(const std::string& xml) {
    return std::atoi(get("/t/feed", &xml).c_str());
}

struct RT {
    int id, posts, last_user, order_key;
    bool open, visited;
    const char* update;
    const char* title; // UTF-8
};

std::string feed_xml(const std::vector<RT>& topics) {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?><Pelikant><Information UpdateDT=\"x\">i"
                       "</Information><Forum><TopicContainer>";
    for (const RT& t : topics) {
        text += "<Topic Id=\"" + std::to_string(t.id) + "\" PostCount=\"" + std::to_string(t.posts) +
                "\" LastUserId=\"" + std::to_string(t.last_user) + "\" OrderKey=\"" +
                std::to_string(t.order_key) + "\" IsOpen=\"" + (t.open ? "1" : "0") + "\" Visited=\"" +
                (t.visited ? "1" : "0") + "\" UpdateDT=\"" + t.update + "\"><Title>" + t.title +
                "</Title></Topic>";
    }
    return text + "</TopicContainer></Forum></Pelikant>";
}

// Open, unvisited; closed, pinned and visited; open and visited (OrderKey -3 is no pin).
const std::vector<RT> FIRST = {
    {101, 5, 7, 0, true, false, "2026-12-08 10:00", "Wskaźniki a referencje"},
    {102, 3, 9, 2, false, true, "2026-12-08 11:00", "Zamknięty i przypięty"},
    {103, 1, 4, -3, true, true, "2026-12-08 09:00", "Otwarty, odwiedzony"},
};

bool eventually(const std::function<bool()>& condition, DWORD ms = 10000) {
    const DWORD until = GetTickCount() + ms;
    while (!condition()) {
        if (GetTickCount() > until) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

// The rows the result list shows for the empty search: the shipped index's entries, read by the
// XML reader alone, and the web-search row.
int index_rows() {
    static const int rows = [] {
        HMODULE exe =
            LoadLibraryExA(beside_test("pelikant_e2e.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        memory::ChunkedMemory<char, 128> text;
        xml::CParseXml parser;
        const bool read = search::read_documentation(exe, text) && parser.parse(text.data());
        FreeLibrary(exe);
        return read ? static_cast<int>(parser.docs().size()) + 1 : -1;
    }();
    return rows;
}

// Memory in the program's process, for the messages that answer into the caller's memory.
class CRemoteBuffer {
public:
    explicit CRemoteBuffer(HANDLE process, size_t bytes = 4096)
        : process_(process),
          base_(static_cast<char*>(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE))) {}
    ~CRemoteBuffer() { VirtualFreeEx(process_, base_, 0, MEM_RELEASE); }
    CRemoteBuffer(const CRemoteBuffer&) = delete;
    CRemoteBuffer& operator=(const CRemoteBuffer&) = delete;

    // The remote address of offset, after value is written there.
    template <class T> LPARAM put(const T& value, size_t offset = 0) const {
        WriteProcessMemory(process_, base_ + offset, &value, sizeof(T), nullptr);
        return at(offset);
    }
    template <class T> T get(size_t offset = 0) const {
        T value{};
        ReadProcessMemory(process_, base_ + offset, &value, sizeof(T), nullptr);
        return value;
    }
    std::wstring text(size_t offset, size_t units) const {
        std::wstring out(units, L'\0');
        ReadProcessMemory(process_, base_ + offset, &out[0], units * sizeof(wchar_t), nullptr);
        return out.substr(0, out.find(L'\0'));
    }
    LPARAM at(size_t offset) const { return reinterpret_cast<LPARAM>(base_ + offset); }

private:
    HANDLE process_; // not owned
    char* base_;
};

const size_t TEXT_AT = 1024; // where texts go in a buffer, after the record that points at them
const size_t TEXT_UNITS = 1000;

// A list view of the program.
class CRemoteList {
public:
    CRemoteList(HWND list, HANDLE process) : list_(list), memory_(process) {}

    int count() const { return static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }
    int next(int flags) const { return static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, -1, flags)); }
    std::wstring text(int item, int sub_item) const {
        LVITEMW lv = {};
        lv.iSubItem = sub_item;
        lv.cchTextMax = TEXT_UNITS;
        lv.pszText = reinterpret_cast<wchar_t*>(memory_.at(TEXT_AT));
        memory_.put(wchar_t(0), TEXT_AT);
        SendMessageW(list_, LVM_GETITEMTEXTW, item, memory_.put(lv));
        return memory_.text(TEXT_AT, TEXT_UNITS);
    }
    LPARAM data(int item) const { return get(item, LVIF_PARAM).lParam; }
    int image(int item) const { return get(item, LVIF_IMAGE).iImage; }
    std::wstring header(int column) const {
        HWND header = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
        HDITEMW item = {};
        item.mask = HDI_TEXT;
        item.cchTextMax = TEXT_UNITS;
        item.pszText = reinterpret_cast<wchar_t*>(memory_.at(TEXT_AT));
        SendMessageW(header, HDM_GETITEMW, column, memory_.put(item));
        return memory_.text(TEXT_AT, TEXT_UNITS);
    }
    // Pixels text takes in the list's font.
    int string_width(const std::wstring& text) const {
        for (size_t i = 0; i <= text.size(); ++i) {
            memory_.put(i < text.size() ? text[i] : L'\0', TEXT_AT + i * sizeof(wchar_t));
        }
        return static_cast<int>(SendMessageW(list_, LVM_GETSTRINGWIDTHW, 0, memory_.at(TEXT_AT)));
    }
    RECT rect(int item) const {
        SendMessageW(list_, LVM_GETITEMRECT, item, memory_.put(RECT{LVIR_BOUNDS, 0, 0, 0}));
        return memory_.get<RECT>();
    }
    LPARAM point(int item) const {
        const RECT r = rect(item);
        return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    int top() const { return static_cast<int>(SendMessageW(list_, LVM_GETTOPINDEX, 0, 0)); }

private:
    LVITEMW get(int item, UINT mask) const {
        LVITEMW lv = {};
        lv.mask = mask;
        lv.iItem = item;
        SendMessageW(list_, LVM_GETITEMW, 0, memory_.put(lv));
        return memory_.get<LVITEMW>();
    }

    HWND list_;
    CRemoteBuffer memory_;
};

// The file in which the end-to-end build keeps what the user has seen.
std::wstring seen_path() {
    wchar_t* folder = nullptr;
    std::wstring path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder))) {
        path = std::wstring(folder) + L"\\Pelikant\\" + feed::seen_file_name(PELIKANT_SITE_URL);
    }
    CoTaskMemFree(folder);
    return path;
}

// Of this test run alone: another run, or one that stopped half-way, has a log of its own.
std::string log_path() {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "pelikant_e2e_" + std::to_string(GetCurrentProcessId()) + ".log";
}

std::vector<std::string> log_lines(const char* prefix) {
    std::vector<std::string> out;
    std::ifstream file(log_path());
    for (std::string line; std::getline(file, line);) {
        if (line.rfind(prefix, 0) == 0) {
            out.push_back(line);
        }
    }
    return out;
}

// The values of a field (" icon=", " tip=", " balloon=") in the tray's records, in order; a
// field runs to the next one or the line's end.
std::vector<std::string> tray_fields(const std::string& field) {
    std::vector<std::string> values;
    for (const std::string& line : log_lines("tray ")) {
        const size_t at = line.find(field);
        if (at != std::string::npos) {
            const std::string rest = line.substr(at + field.size());
            values.push_back(field == " balloon=" ? rest : rest.substr(0, rest.find(" tip=")));
        }
    }
    return values;
}
std::vector<std::string> balloons() {
    return tray_fields(" balloon=");
}
std::string tray_tip() {
    const std::vector<std::string> tips = tray_fields(" tip=");
    return tips.empty() ? "" : tips.back().substr(0, tips.back().find(" balloon="));
}
// The icon of the last record that had one.
std::string tray_icon() {
    std::string icon;
    for (const std::string& value : tray_fields(" icon=")) {
        icon = value.rfind("none", 0) == 0 ? icon : value.substr(0, 4);
    }
    return icon;
}
std::vector<std::string> opened() {
    return log_lines("open ");
}

// Keys pressed together as the keyboard gives them, then released.
void press(const std::vector<WORD>& keys) {
    std::vector<INPUT> inputs;
    for (int up = 0; up < 2; ++up) {
        for (size_t i = 0; i < keys.size(); ++i) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = keys[up ? keys.size() - 1 - i : i];
            input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            inputs.push_back(input);
        }
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void key(HWND control, UINT vk) {
    PostMessageW(control, WM_KEYDOWN, vk, 1);
}

// How far right a list row's text reaches in its first column, as the screen shows it: bold
// letters are wider.
int ink(HWND list, RECT row) {
    UpdateWindow(list); // painted now, not when its queue is next empty
    row.right = row.left + static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&row), 2);
    const int width = row.right - row.left, height = row.bottom - row.top;
    if (width <= 0 || height <= 0) {
        return -1;
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, row.left, row.top, SRCCOPY);
    GdiFlush();
    int reach = 0;
    const DWORD* pixels = static_cast<const DWORD*>(bits);
    for (int i = 0; i < width * height; ++i) {
        const DWORD p = pixels[i];
        if ((p & 0xFF) + ((p >> 8) & 0xFF) + ((p >> 16) & 0xFF) < 3 * 160) {
            reach = std::max(reach, i % width);
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return reach;
}

std::wstring clipboard_text() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) {
        return text;
    }
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const wchar_t* units = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = units;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void set_clipboard(const std::wstring& text) {
    if (!OpenClipboard(nullptr)) {
        return;
    }
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        memcpy(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
    }
    CloseClipboard();
}

// The open popup menu, once it shows.
HWND open_menu() {
    HWND menu = nullptr;
    eventually([&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr && IsWindowVisible(menu); },
               3000);
    return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

const std::wstring WEB_SEARCH = L"Szukaj za pomocą wyszukiwarki Google";

// The end-to-end build of the program, with its window and controls.
class CProgram : public CProcess {
public:
    explicit CProgram(const std::string& arguments = "")
        : CProcess(beside_test("pelikant_e2e.exe"), arguments) {}

    // The main window and its controls, once they all exist.
    bool find_window() {
        if (!eventually([&] { return (window = main_window(0)) != nullptr && find_controls(); }, 20000)) {
            return false;
        }
        forum_list.reset(new CRemoteList(forum, process()));
        result_list.reset(new CRemoteList(results, process()));
        return true;
    }
    // The menu's "Zakończ"; the exit code, if the program ended within 2 s.
    long quit() const {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
        return wait(2000);
    }
    void poll() const { PostMessageW(window, WM_TIMER, 1, 0); }
    // A message of the tray icon as the shell sends it once the icon has version 4: the event and
    // the icon's id in lParam, the anchor point in wParam.
    void tray(UINT event, UINT icon = wapi::CNotifyIcon::ICON_ID) const {
        PostMessageW(window, wapi::CNotifyIcon::CALLBACK_MESSAGE, MAKEWPARAM(40, 40),
                     MAKELPARAM(event, icon));
    }
    // A click on the icon: the button, then the shell's word for the click.
    void tray_click() const {
        for (UINT event : {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT}) {
            tray(event);
        }
    }
    void type(const std::wstring& text) const {
        for (wchar_t unit : text) {
            PostMessageW(box, WM_CHAR, unit, 1);
        }
    }
    // Waits until the program has handled every message posted to it so far: a character posted
    // after them reaches the box only then. (A sent message would overtake them.)
    bool flush() const {
        const std::wstring before = box_text();
        PostMessageW(box, WM_CHAR, L'§', 1);
        const bool done = eventually([&] { return box_text().find(L'§') != std::wstring::npos; }, 5000);
        SetWindowTextW(box, before.c_str());
        SendMessageW(box, EM_SETSEL, before.size(), before.size()); // the caret back at the end
        return done;
    }
    std::wstring box_text() const {
        wchar_t text[256] = {};
        SendMessageW(box, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
        return text;
    }
    HWND focus() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
        return info.hwndFocus;
    }
    bool shown() const { return IsWindowVisible(window) != FALSE; }
    // The web-search row's caption, the list's last.
    std::wstring last_row() const { return result_list->text(result_list->count() - 1, 0); }
    // A part of the status bar, or its tooltip.
    std::wstring status(int part, bool tooltip = false) const {
        const CRemoteBuffer memory(process());
        memory.put(wchar_t(0));
        SendMessageW(bar, tooltip ? SB_GETTIPTEXTW : SB_GETTEXTW,
                     tooltip ? MAKEWPARAM(part, TEXT_UNITS) : part, memory.at(0));
        return memory.text(0, TEXT_UNITS);
    }

    HWND window = nullptr;
    HWND forum = nullptr;
    HWND results = nullptr;
    HWND box = nullptr;
    HWND bar = nullptr;
    std::unique_ptr<CRemoteList> forum_list;
    std::unique_ptr<CRemoteList> result_list;

private:
    bool find_controls() {
        HWND first = FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr);
        HWND second = first != nullptr ? FindWindowExA(window, first, WC_LISTVIEWA, nullptr) : nullptr;
        box = FindWindowExA(window, nullptr, "Edit", nullptr);
        bar = FindWindowExA(window, nullptr, STATUSCLASSNAMEA, nullptr);
        if (first == nullptr || second == nullptr || box == nullptr || bar == nullptr) {
            return false;
        }
        RECT a, b;
        GetWindowRect(first, &a);
        GetWindowRect(second, &b);
        if (a.top == b.top) {
            return false; // made, not yet laid out
        }
        forum = a.top < b.top ? first : second;
        results = a.top < b.top ? second : first;
        return true;
    }
};

// Starts the program with its own log, and ends it after each scenario, also one that failed
// half-way; the feed server's script goes back to serving the feed.
class Program : public testing::Test {
protected:
    void SetUp() override {
        // Every scenario is the program's first start ever unless it starts the program again.
        for (const std::wstring& kept : {seen_path(), seen_path() + L".tmp"}) {
            DeleteFileW(kept.c_str());
        }
        std::remove(log_path().c_str());
        SetEnvironmentVariableA("PELIKANT_E2E_LOG", log_path().c_str());
        ASSERT_FALSE(get("/t/feed").empty()) << "no feed server at " PELIKANT_SITE_URL;
        ASSERT_GT(index_rows(), 1) << "pelikant_e2e.exe has no documentation index";
    }
    void TearDown() override {
        for (auto& program : programs_) {
            if (program->wait(0) == -1) {
                program->quit();
            }
        }
        programs_.clear(); // ended by force if the exit command was not enough
        script_feed("");
        std::remove(log_path().c_str());
    }
    // The program started (with the feed as the server has it), its window found; a second copy
    // has none of its own.
    CProgram& start(const std::string& arguments = "", bool first = true) {
        programs_.emplace_back(new CProgram(arguments));
        CProgram& program = *programs_.back();
        EXPECT_TRUE(!first || program.find_window()) << "the main window never appeared";
        return program;
    }

private:
    std::vector<std::unique_ptr<CProgram>> programs_;
};

} // namespace

TEST_F(Program, StartsWithThePlaceholderThenShowsTheFeedAndAnnouncesNewPosts) {
    // The start-up download hangs (until the build's short transfer limit ends it), so the
    // placeholder stays until the first poll.
    script_feed("?as=" + escape("/t/hang"));
    CProgram& program = start();
    ASSERT_NE(program.forum_list, nullptr);
    CRemoteList& forum = *program.forum_list;
    CRemoteList& results = *program.result_list;
    EXPECT_EQ(program.status(1), L"Pobieranie listy tematów…");
    ASSERT_TRUE(eventually([&] { return results.count() == index_rows(); }));
    EXPECT_EQ(results.next(LVNI_SELECTED), 0);
    // Whenever the window comes to the front, typing goes to the search box. (Wine's own tray
    // window may take the front from it at first.)
    SetForegroundWindow(program.window);
    EXPECT_TRUE(eventually([&] { return program.focus() == program.box; }));
    ASSERT_EQ(forum.count(), 1);
    EXPECT_EQ(forum.text(0, 0), L"Pobieranie listy tematów…");
    EXPECT_EQ(forum.image(0), I_IMAGENONE);
    EXPECT_EQ(forum.header(1), L"Postów");

    // The first feed fills the list and announces nothing; each topic shows its state's icon.
    serve_feed(feed_xml(FIRST));
    program.poll();
    ASSERT_TRUE(eventually([&] { return forum.text(0, 0) == L"Wskaźniki a referencje"; }));
    ASSERT_EQ(forum.count(), 3);
    const struct {
        const wchar_t* title;
        const wchar_t* posts;
        const wchar_t* update;
        int icon;
    } shown[] = {
        {L"Wskaźniki a referencje", L"5", L"2026-12-08 10:00", IDI_TOPIC_OPEN},
        {L"Zamknięty i przypięty", L"3", L"2026-12-08 11:00", IDI_TOPIC_CLOSED_PINNED_VISITED},
        {L"Otwarty, odwiedzony", L"1", L"2026-12-08 09:00", IDI_TOPIC_OPEN_VISITED},
    };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(forum.text(i, 0), shown[i].title) << i;
        EXPECT_EQ(forum.text(i, 1), shown[i].posts) << i;
        EXPECT_EQ(forum.text(i, 2), shown[i].update) << i;
        const int image = forum.image(i);
        ASSERT_TRUE(image >= 0 && image < 8) << i; // the list's images are made from TOPIC_ICONS
        EXPECT_EQ(app::TOPIC_ICONS[image].icon, shown[i].icon) << i;
    }
    EXPECT_TRUE(balloons().empty());
    EXPECT_EQ(tray_icon(), std::to_string(IDI_PELIKANT));
    EXPECT_TRUE(eventually([&] { return program.status(1).rfind(L"Sprawdzono ", 0) == 0; }))
        << program.status(1);
    EXPECT_TRUE(eventually([&] { return tray_tip().rfind(u8"Pelikant: sprawdzono ", 0) == 0; }))
        << tray_tip();

    // More posts in the first topic, a later update in the second: one balloon naming both, the
    // topic updated last first, and the new-posts icon.
    std::vector<RT> second = FIRST;
    second[0].posts = 6;
    second[1].update = "2026-12-08 12:00";
    second[1].posts = 4;
    serve_feed(feed_xml(second));
    program.poll();
    ASSERT_TRUE(eventually([&] { return balloons().size() == 1; }));
    EXPECT_EQ(balloons()[0], u8"2 nowe posty w 2 tematach|Zamknięty i przypięty\\nWskaźniki a referencje");
    EXPECT_EQ(tray_icon(), std::to_string(IDI_NEW_POSTS));
    // What is new for the user: bold, with the count of new posts, in the status line and the tip.
    EXPECT_TRUE(eventually([&] { return forum.text(1, 1) == L"4 (+1)"; }));
    EXPECT_EQ(forum.text(0, 1), L"6 (+1)");
    EXPECT_TRUE(eventually([&] {
        return tray_tip().rfind(u8"Pelikant: 2 nowe posty w 2 tematach\\nsprawdzono ", 0) == 0;
    })) << tray_tip();
    // A click on a balloon naming two topics opens neither. Opened (here by a double click), the
    // topic is seen: its row is drawn plain, its count alone.
    SetForegroundWindow(program.window);
    ASSERT_TRUE(program.flush());
    const int bold_ink = ink(program.forum, forum.rect(1));
    program.tray(NIN_BALLOONUSERCLICK);
    ASSERT_TRUE(program.flush());
    EXPECT_TRUE(opened().empty());
    SendMessageW(program.forum, WM_LBUTTONDBLCLK, MK_LBUTTON, forum.point(1));
    SendMessageW(program.forum, WM_LBUTTONUP, 0, forum.point(1));
    ASSERT_TRUE(eventually([&] { return forum.text(1, 1) == L"4"; }));
    ASSERT_TRUE(program.flush());
    EXPECT_LT(ink(program.forum, forum.rect(1)) * 20, bold_ink * 19)
        << "the opened topic's row is still bold";
    EXPECT_EQ(opened(), std::vector<std::string>{"open " PELIKANT_SITE_URL "/forum/temat/?id=102"});

    // Moved to a monitor at 150 %: the window takes the DPI the system gives with the size it
    // suggests, and its controls grow with it.
    RECT window;
    GetWindowRect(program.window, &window);
    const RECT suggested = {window.left, window.top, window.left + 923, window.top + 555};
    const CRemoteBuffer memory(program.process());
    SendMessageW(program.window, WM_DPICHANGED, MAKEWPARAM(144, 144), memory.put(suggested));
    RECT box, list;
    GetWindowRect(program.box, &box);
    GetWindowRect(program.forum, &list);
    EXPECT_EQ(box.bottom - box.top, 36) << "a box 24 high at 96 DPI";
    EXPECT_EQ(list.bottom - list.top, 165) << "a list 110 high at 96 DPI";
    EXPECT_EQ(SendMessageW(program.forum, LVM_GETCOLUMNWIDTH, 0, 0), 465) << "a column 310 wide at 96 DPI";
}

TEST_F(Program, SearchesAsYouTypeAndEverythingIsReachedByKeyboard) {
    serve_feed(feed_xml(FIRST));
    CProgram& program = start();
    ASSERT_NE(program.forum_list, nullptr);
    CRemoteList& forum = *program.forum_list;
    CRemoteList& results = *program.result_list;
    ASSERT_TRUE(eventually([&] { return forum.count() == 3 && results.count() == index_rows(); }));
    SetForegroundWindow(program.window);
    ASSERT_TRUE(eventually([&] { return program.focus() == program.box; }));

    // Every character runs the search again; the web-search row follows the text; Enter opens
    // the entry named (Id 9 of the shipped index is "inline").
    const std::wstring typed = L"inline";
    for (size_t i = 0; i < typed.size(); ++i) {
        PostMessageW(program.box, WM_CHAR, typed[i], 1);
        const std::wstring caption = WEB_SEARCH + L" » " + typed.substr(0, i + 1);
        EXPECT_TRUE(eventually([&] { return program.last_row() == caption; }, 3000)) << i;
    }
    ASSERT_EQ(results.count(), 2);
    EXPECT_EQ(results.text(0, 0),
              L"inline - C | słowo kluczowe /*Wstawianie kodu funkcji w miejscu wywołania.*/");
    key(program.box, VK_RETURN);
    ASSERT_TRUE(eventually([&] { return opened().size() == 1; }));
    EXPECT_EQ(opened()[0], "open " PELIKANT_SITE_URL "/dokumentacja/?nro=9");

    // The keys move the selection while the caret and the focus stay in the box.
    SetWindowTextW(program.box, L"");
    ASSERT_TRUE(eventually([&] { return results.count() == index_rows(); }));
    const struct {
        UINT key;
        int focused;
    } moves[] = {{VK_DOWN, 1}, {VK_NEXT, 9}, {VK_PRIOR, 1}, {VK_UP, 0}, {VK_UP, 0}, {VK_PRIOR, 0}};
    for (const auto& move : moves) {
        key(program.box, move.key);
        EXPECT_TRUE(eventually([&] { return results.next(LVNI_FOCUSED) == move.focused; }, 3000)) << move.key;
        EXPECT_EQ(results.next(LVNI_SELECTED), move.focused) << move.key;
    }
    EXPECT_EQ(LOWORD(SendMessageW(program.box, EM_GETSEL, 0, 0)), 0);
    EXPECT_EQ(program.focus(), program.box);

    // Tab goes from the box to the results, the topics and back, Shift+Tab the other way; a
    // list that gets the focus shows a focused row.
    for (HWND next : {program.results, program.forum, program.box}) {
        press({VK_TAB});
        EXPECT_TRUE(eventually([&] { return program.focus() == next; }, 3000));
    }
    press({VK_SHIFT, VK_TAB});
    ASSERT_TRUE(eventually([&] { return program.focus() == program.forum; }, 3000));
    EXPECT_EQ(forum.next(LVNI_FOCUSED), 0);
    // Enter opens the focused topic, as a double click does; below the last row a double click
    // opens nothing.
    key(program.forum, VK_RETURN);
    ASSERT_TRUE(eventually([&] { return opened().size() == 2; }));
    EXPECT_EQ(opened()[1], "open " PELIKANT_SITE_URL "/forum/temat/?id=101");
    // Enter held down repeats (bit 30 of the key data): the page opens once, not at the keyboard's
    // rate, in the lists and in the box alike.
    PostMessageW(program.forum, WM_KEYDOWN, VK_RETURN, 0x401C0001);
    PostMessageW(program.box, WM_KEYDOWN, VK_RETURN, 0x401C0001);
    ASSERT_TRUE(program.flush());
    EXPECT_EQ(opened().size(), 2u) << "an auto-repeated Enter opened the page again";
    const RECT row = forum.rect(1);
    for (const LPARAM at : {forum.point(1), MAKELPARAM((row.left + row.right) / 2, row.bottom + 60)}) {
        SendMessageW(program.forum, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        SendMessageW(program.forum, WM_LBUTTONUP, 0, at);
    }
    ASSERT_TRUE(program.flush());
    EXPECT_EQ(opened().size(), 3u);
    EXPECT_EQ(opened().back(), "open " PELIKANT_SITE_URL "/forum/temat/?id=102");

    // AltGr arrives as Ctrl+Alt: AltGr+C types "ć" and copies nothing.
    set_clipboard(L"przed");
    press({VK_CONTROL, VK_MENU, 'C'});
    ASSERT_TRUE(program.flush());
    EXPECT_EQ(clipboard_text(), L"przed") << "AltGr+C copied the row";
    // The row's menu (Shift+F10) copies the focused row's address. Wine keeps a menu's items in
    // its own process: they are read from the program's resources.
    press({VK_SHIFT, VK_F10});
    ASSERT_NE(open_menu(), nullptr);
    HMODULE exe = LoadLibraryExA(beside_test("pelikant_e2e.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    for (const auto& menu : {std::make_pair(IDM_ROW, L"Otwórz|Kopiuj adres|"),
                             std::make_pair(IDM_TOPIC, L"Otwórz|Kopiuj adres||Oznacz jako &przeczytany|"
                                                       L"O&bserwuj temat|&Wycisz temat|")}) {
        HMENU row_menu = GetSubMenu(LoadMenuW(exe, MAKEINTRESOURCEW(menu.first)), 0);
        std::wstring items;
        for (int at = 0; at < GetMenuItemCount(row_menu); ++at) {
            wchar_t text[64] = {};
            GetMenuStringW(row_menu, at, text, 64, MF_BYPOSITION);
            items += text + std::wstring(L"|");
        }
        EXPECT_EQ(items, menu.second);
    }
    FreeLibrary(exe);
    press({VK_HOME});
    press({VK_DOWN});
    press({VK_RETURN});
    const std::wstring address = L"" PELIKANT_SITE_URL "/forum/temat/?id=101";
    EXPECT_TRUE(eventually([&] { return clipboard_text() == address; }, 3000))
        << testing::PrintToString(clipboard_text());

    // Each control has its name for screen readers. Wine cannot read one back: what is seen is
    // the name given and the system's answer (S_OK, or E_NOTIMPL under Wine).
    const std::map<HWND, std::string> names = {{program.box, "Szukaj w dokumentacji"},
                                               {program.results, "Wyniki wyszukiwania"},
                                               {program.forum, "Tematy na forum"}};
    const std::vector<std::string> given = log_lines("name ");
    EXPECT_EQ(given.size(), names.size());
    for (const auto& name : names) {
        const std::string line = "name " + std::to_string(reinterpret_cast<std::uintptr_t>(name.first)) + " ";
        EXPECT_EQ(std::count(given.begin(), given.end(), line + "00000000 " + name.second) +
                      std::count(given.begin(), given.end(), line + "80004001 " + name.second),
                  1)
            << name.second;
    }
}

// Run once more by its own test entry under the English code page 1252, where Polish letters must
// survive all the same.
TEST_F(Program, TypesPolishAsAKeyboardDeliversIt) {
    std::printf("typing under code page %u\n", GetACP());
    CProgram& program = start();
    ASSERT_NE(program.result_list, nullptr);
    CRemoteList& results = *program.result_list;
    ASSERT_TRUE(eventually([&] { return results.count() == index_rows(); }));
    // A WM_CHAR per UTF-16 unit, as a keyboard delivers it; the shipped index has 10 entries with
    // a word holding "wyjątk", none with "łańcuch", and 30 with "wskaźnik", which most people
    // type without its mark.
    const struct {
        const wchar_t* typed;
        int entries;
        const wchar_t* in_each; // a part of every entry shown, case apart
    } cases[] = {{L"wyjątk", 10, L"wyjątk"}, {L"łańcuch", 0, L""}, {L"wskaznik", 30, L"wskaźnik"}};
    for (const auto& c : cases) {
        SetWindowTextW(program.box, L"");
        program.type(c.typed);
        const std::wstring caption = WEB_SEARCH + L" » " + c.typed;
        EXPECT_TRUE(eventually([&] { return program.last_row() == caption; }, 3000)) << c.typed;
        EXPECT_EQ(program.box_text(), c.typed);
        ASSERT_EQ(results.count(), c.entries + 1) << testing::PrintToString(std::wstring(c.typed));
        for (int i = 0; i < c.entries; ++i) {
            std::wstring text = results.text(i, 0);
            CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
            EXPECT_NE(text.find(c.in_each), std::wstring::npos) << testing::PrintToString(text);
        }
    }
}

TEST_F(Program, HidesIntoTheTrayAndComesBackAsWindowsUsersExpect) {
    serve_feed(feed_xml(FIRST));
    CProgram& program = start();
    ASSERT_TRUE(eventually([&] { return program.forum_list->count() == 3; }));
    std::vector<RT> later = FIRST;
    later[0].posts = 6;
    serve_feed(feed_xml(later));
    program.poll();
    ASSERT_TRUE(eventually([&] { return balloons().size() == 1; }));
    const std::vector<std::string> versions = log_lines("tray 4 ");
    ASSERT_FALSE(versions.empty());
    ASSERT_EQ(versions.back().rfind("tray 4 version=4 taken=1", 0), 0u) << "the shell did not take version 4";

    // The close box hides; a click on the icon brings the window back, focus in the box. The
    // new-posts icon stays while the topic is new for the user.
    PostMessageW(program.window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(eventually([&] { return !program.shown(); }));
    EXPECT_EQ(program.focus(), nullptr) << "the box's caret would blink in the hidden window";
    program.tray_click();
    EXPECT_TRUE(eventually([&] { return program.shown(); }));
    EXPECT_TRUE(eventually([&] { return program.focus() == program.box; }));
    EXPECT_EQ(tray_icon(), std::to_string(IDI_NEW_POSTS));

    // A click while the window is in front hides it, although the click took the front from it
    // just before it arrived (as clicking in the notification area does).
    SetForegroundWindow(program.window);
    ASSERT_TRUE(eventually([&] { return GetForegroundWindow() == program.window; }));
    HWND elsewhere = CreateWindowW(L"STATIC", L"x", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                                   nullptr, nullptr);
    SetForegroundWindow(elsewhere);
    ASSERT_TRUE(eventually([&] { return GetForegroundWindow() == elsewhere; }));
    program.tray_click();
    EXPECT_TRUE(eventually([&] { return !program.shown(); })) << "a click on the icon left the window shown";
    DestroyWindow(elsewhere);
    program.tray_click();
    EXPECT_TRUE(eventually([&] { return program.shown(); }));

    // A right-click's WM_CONTEXTMENU is no tray click, even at a screen point that reads like one
    // (x 0x202); nor is another icon's message.
    PostMessageW(program.window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(program.window),
                 MAKELPARAM(WM_LBUTTONUP, 0));
    program.tray(NIN_SELECT, wapi::CNotifyIcon::ICON_ID + 1);
    ASSERT_TRUE(program.flush());
    EXPECT_TRUE(program.shown());

    // Escape hides the window; a double click on the icon shows it, and only shows it.
    key(program.box, VK_ESCAPE);
    EXPECT_TRUE(eventually([&] { return !program.shown(); }));
    for (UINT event :
         {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT, WM_LBUTTONDBLCLK, WM_LBUTTONUP, NIN_SELECT}) {
        program.tray(event);
    }
    ASSERT_TRUE(program.flush());
    EXPECT_TRUE(program.shown());
    // Win+B, the arrows and Enter on the icon: the window comes to the front.
    key(program.box, VK_ESCAPE);
    EXPECT_TRUE(eventually([&] { return !program.shown(); }));
    program.tray(NIN_KEYSELECT);
    EXPECT_TRUE(eventually([&] { return program.shown() && GetForegroundWindow() == program.window; }));
    // A click on the balloon opens the topic it named, the one with the new post; with nothing new
    // left, the plain icon is back.
    program.tray(NIN_BALLOONUSERCLICK);
    ASSERT_TRUE(eventually([&] { return opened().size() == 1; }));
    EXPECT_EQ(opened()[0], "open " PELIKANT_SITE_URL "/forum/temat/?id=101");
    EXPECT_TRUE(eventually([&] { return tray_icon() == std::to_string(IDI_PELIKANT); }));
}

TEST_F(Program, ForumListKeepsItsPlaceAndOpensTheTopicClicked) {
    std::vector<RT> topics;
    std::vector<std::string> titles;
    titles.reserve(60); // the topics point into it
    for (int i = 0; i < 60; ++i) {
        titles.push_back("Temat " + std::to_string(i));
        topics.push_back({1000 + i, 1, 1, 0, true, false, "2026-12-08 10:00", titles.back().c_str()});
    }
    serve_feed(feed_xml(topics));
    CProgram& program = start();
    ASSERT_NE(program.forum_list, nullptr);
    CRemoteList& forum = *program.forum_list;
    ASSERT_TRUE(eventually([&] { return forum.count() == 60; }));
    const RECT first = forum.rect(0);
    SendMessageW(program.forum, LVM_SCROLL, 0, 20 * (first.bottom - first.top));
    ASSERT_EQ(forum.top(), 20);
    SendMessageW(program.forum, WM_LBUTTONDOWN, MK_LBUTTON, forum.point(22));
    SendMessageW(program.forum, WM_LBUTTONUP, 0, forum.point(22));
    ASSERT_EQ(forum.next(LVNI_SELECTED), 22);

    // The same feed again changes nothing on screen.
    const size_t answers = log_lines("answer ").size();
    serve_feed(feed_xml(topics));
    program.poll();
    ASSERT_TRUE(eventually([&] { return log_lines("answer ").size() > answers; }));
    ASSERT_TRUE(program.flush());
    EXPECT_EQ(forum.top(), 20) << "an unchanged feed moved the list";
    EXPECT_EQ(forum.next(LVNI_SELECTED), 22) << "an unchanged feed lost the selection";

    // A new topic on top: the same topics stay at the top of the view and selected.
    RT fresh = topics[0];
    fresh.id = 999;
    fresh.title = "Nowy temat";
    topics.insert(topics.begin(), fresh);
    serve_feed(feed_xml(topics));
    program.poll();
    ASSERT_TRUE(eventually([&] { return forum.count() == 61; }));
    EXPECT_EQ(forum.text(forum.top(), 0), L"Temat 20");
    EXPECT_EQ(forum.text(forum.next(LVNI_SELECTED), 0), L"Temat 22");

    // A double-click that meets a reordered feed opens the topic clicked. The feed is taken while
    // characters queued for the box keep the refill waiting behind them; a click sent then is
    // handled before both, on the list as it was.
    std::vector<RT> reversed(topics.rbegin(), topics.rend());
    serve_feed(feed_xml(reversed));
    const size_t before = log_lines("answer ").size();
    program.type(std::wstring(400, L'a') + L'§');
    // Sent: the tick is handled before the characters, and the feed it asks for comes behind them.
    SendMessageW(program.window, WM_TIMER, 1, 0);
    ASSERT_TRUE(eventually([&] { return log_lines("answer ").size() > before; }));
    ASSERT_EQ(program.box_text().find(L'§'), std::wstring::npos)
        << "the characters ran out before the answer";
    const int row = forum.top();
    const std::wstring clicked = forum.text(row, 0);
    SendMessageW(program.forum, WM_LBUTTONDBLCLK, MK_LBUTTON, forum.point(row));
    SendMessageW(program.forum, WM_LBUTTONUP, 0, forum.point(row));
    ASSERT_TRUE(eventually([&] { return opened().size() == 1; }));
    EXPECT_EQ(clicked, L"Temat 20");
    EXPECT_EQ(opened()[0], "open " PELIKANT_SITE_URL "/forum/temat/?id=1020");
    EXPECT_TRUE(eventually([&] { return forum.text(0, 0) == L"Temat 59"; }, 60000));
    EXPECT_EQ(forum.text(forum.top(), 0), L"Temat 20") << "the reordered list lost its place";

    // The keyboard's menu (both coordinates -1) for a focused row scrolled out of view brings the
    // row into view and opens below it. A feed that comes while the menu is open reorders the
    // list; "Otwórz" still opens the row the menu was opened for.
    const int height = first.bottom - first.top;
    SendMessageW(program.forum, LVM_SCROLL, 0, 30 * height);
    const int chosen = forum.top() + 2;
    SendMessageW(program.forum, WM_LBUTTONDOWN, MK_LBUTTON, forum.point(chosen));
    SendMessageW(program.forum, WM_LBUTTONUP, 0, forum.point(chosen));
    const std::wstring chosen_title = forum.text(chosen, 0);
    SendMessageW(program.forum, LVM_SCROLL, 0, -60 * height);
    ASSERT_EQ(forum.top(), 0);
    SetForegroundWindow(program.window);
    PostMessageW(program.window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(program.forum), 0xFFFFFFFF);
    const HWND menu = open_menu();
    ASSERT_NE(menu, nullptr) << "the keyboard's request opened no menu";
    RECT below = forum.rect(chosen), placed;
    MapWindowPoints(program.forum, nullptr, reinterpret_cast<POINT*>(&below), 2);
    GetWindowRect(menu, &placed);
    EXPECT_GT(forum.top(), 0) << "the row was not brought into view";
    EXPECT_LE(std::abs(placed.top - below.bottom), 2) << placed.top << " " << below.bottom;
    serve_feed(feed_xml(topics));
    program.poll();
    EXPECT_TRUE(eventually([&] { return forum.text(0, 0) == L"Nowy temat"; }));
    press({VK_HOME});
    press({VK_RETURN});
    ASSERT_TRUE(eventually([&] { return opened().size() == 2; }));
    EXPECT_EQ(opened()[1], "open " PELIKANT_SITE_URL "/forum/temat/?id=" +
                               std::to_string(1000 + std::stoi(string::to_utf8(chosen_title).substr(6))));
}

TEST_F(Program, LivesInTheTrayAndSaysHowEachPollWent) {
    serve_feed(feed_xml(FIRST));
    // The autostart at log-in: the icon in the tray, no window on the screen.
    CProgram& program = start("/tray");
    EXPECT_FALSE(program.shown());
    ASSERT_TRUE(program.flush());
    EXPECT_EQ(program.focus(), nullptr) << "the box's caret would blink in the hidden window";
    EXPECT_TRUE(eventually([&] { return tray_icon() == std::to_string(IDI_PELIKANT); }));
    // Another autostart leaves the running copy in the tray; a start by hand brings it to the
    // front. Either second start ends at once.
    EXPECT_EQ(start("/tray", false).wait(10000), 0);
    ASSERT_TRUE(program.flush());
    EXPECT_FALSE(program.shown()) << "a second start with /tray showed the window";
    EXPECT_EQ(start("", false).wait(10000), 0);
    EXPECT_TRUE(eventually([&] { return GetForegroundWindow() == program.window; }));
    EXPECT_TRUE(program.shown());
    EXPECT_TRUE(eventually([&] { return program.focus() == program.box; }));

    // The global key hides the window in front and summons the search, its text selected.
    EXPECT_EQ(program.status(0), L"Autor: zespół Pelikanta") << "Win+Shift+P is taken";
    SetWindowTextW(program.box, L"printf");
    for (bool shown : {false, true}) {
        press({VK_LWIN, VK_SHIFT, 'P'});
        EXPECT_TRUE(eventually([&] { return program.shown() == shown; })) << shown;
    }
    EXPECT_TRUE(eventually([&] { return SendMessageW(program.box, EM_GETSEL, 0, 0) == MAKELRESULT(0, 6); }))
        << "the text typed before, selected";
    EXPECT_EQ(program.focus(), program.box);

    // The state line, its tooltip (with the server's own words where there are any) and the tray
    // tip after each kind of answer.
    const struct {
        std::string script;
        const wchar_t* line;
        const char* tip;
        const wchar_t* words; // in the tooltip
    } answers[] = {
        {"?as=" + escape("/t/redirect?to=" + escape("http://127.0.0.1:1/xml/")),
         L"Brak połączenia z serwerem (", u8"Pelikant: brak połączenia z serwerem (", L"Szczegóły: "},
        {"?as=" + escape("/t/body?status=503&text=awaria"), L"Serwer odpowiedział błędem 503 (",
         u8"Pelikant: błąd serwera 503 (", L"Szczegóły: HTTP/1.1 503"},
        {"?as=" + escape("/t/body?text=<html><body>Witaj</body></html>&type=text/html"),
         L"Odpowiedź nie jest listą tematów (", u8"Pelikant: odpowiedź nie jest listą tematów (",
         L"text/html"},
        {"", L"Sprawdzono ", u8"Pelikant: sprawdzono ", L"Lista tematów pobrana o "},
    };
    for (const auto& answer : answers) {
        if (answer.script.empty()) {
            serve_feed(feed_xml(FIRST));
        } else {
            script_feed(answer.script);
        }
        program.poll();
        EXPECT_TRUE(eventually([&] { return program.status(1).rfind(answer.line, 0) == 0; }))
            << program.status(1);
        EXPECT_TRUE(eventually([&] { return tray_tip().rfind(answer.tip, 0) == 0; })) << tray_tip();
        EXPECT_NE(program.status(1, true).find(answer.words), std::wstring::npos) << program.status(1, true);
    }
    EXPECT_EQ(program.quit(), 0);

    // Where another program holds the key, the status bar says so and the rest goes on.
    ASSERT_TRUE(RegisterHotKey(nullptr, 1, MOD_WIN | MOD_SHIFT, 'P'));
    CProgram& without_key = start();
    EXPECT_EQ(without_key.status(0), L"Skrót Win+Shift+P zajęty");
    EXPECT_TRUE(eventually([&] { return without_key.status(1).rfind(L"Sprawdzono ", 0) == 0; }));
    UnregisterHotKey(nullptr, 1);
}

// What could not be done is said in the status line: a timer the system refused (and got on a
// later try), an address no browser opens, a clipboard another program holds.
TEST_F(Program, SaysInTheStatusLineWhatCouldNotBeDone) {
    serve_feed(feed_xml(FIRST));
    SetEnvironmentVariableA("PELIKANT_E2E_NO_BROWSER", "1");
    SetEnvironmentVariableA("PELIKANT_E2E_TIMER_REFUSALS", "4");
    CProgram& program = start();
    SetEnvironmentVariableA("PELIKANT_E2E_NO_BROWSER", nullptr);
    SetEnvironmentVariableA("PELIKANT_E2E_TIMER_REFUSALS", nullptr);
    ASSERT_NE(program.forum_list, nullptr);
    EXPECT_TRUE(eventually([&] {
        return program.status(1).rfind(L"Nie działa sprawdzanie co minutę", 0) == 0;
    })) << program.status(1);
    EXPECT_TRUE(eventually([&] { return program.status(1).rfind(L"Sprawdzono ", 0) == 0; }))
        << program.status(1);
    EXPECT_EQ(log_lines("timer refused").size(), 4u);
    const size_t answers = log_lines("answer ").size();
    program.poll();
    EXPECT_TRUE(eventually([&] { return log_lines("answer ").size() > answers; })) << "the timer never ran";

    CRemoteList& forum = *program.forum_list;
    ASSERT_TRUE(eventually([&] { return forum.count() == 3; }));
    SetForegroundWindow(program.window);
    SendMessageW(program.forum, WM_LBUTTONDOWN, MK_LBUTTON, forum.point(0));
    SendMessageW(program.forum, WM_LBUTTONUP, 0, forum.point(0));
    key(program.forum, VK_RETURN);
    EXPECT_TRUE(eventually([&] {
        return program.status(1) == L"Nie udało się otworzyć adresu: " PELIKANT_SITE_URL
                                    "/forum/temat/?id=101";
    })) << program.status(1);

    set_clipboard(L"przed");
    ASSERT_TRUE(OpenClipboard(nullptr)); // held, as a clipboard manager holds it, for longer
    PostMessageW(program.window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(program.forum), 0xFFFFFFFF);
    ASSERT_NE(open_menu(), nullptr);
    press({VK_HOME});
    press({VK_DOWN});
    press({VK_RETURN});
    EXPECT_TRUE(eventually([&] {
        return program.status(1).rfind(L"Nie udało się skopiować adresu", 0) == 0;
    })) << program.status(1);
    CloseClipboard();
    EXPECT_EQ(clipboard_text(), L"przed");
}

namespace {

// Keys (a menu's access keys) in the menu that is opening; true once it has closed.
bool choose(const std::vector<WORD>& keys) {
    if (open_menu() == nullptr) {
        return false;
    }
    for (WORD k : keys) {
        press({k});
    }
    return eventually([] {
        return FindWindowA("#32768", nullptr) == nullptr || !IsWindowVisible(FindWindowA("#32768", nullptr));
    });
}

// The tray menu, opened from the keyboard as the shell asks for it, then keys.
bool tray_menu(const CProgram& program, const std::vector<WORD>& keys) {
    program.tray(WM_CONTEXTMENU);
    return choose(keys);
}

// The post count of a row's "Postów", without the posts new for the user.
std::wstring posts_of(const std::wstring& column) {
    return column.substr(0, column.find(L' '));
}

// The user's Run value for the program, empty when there is none.
std::wstring run_value() {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Pelikant",
                     RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS) {
        return L"";
    }
    return value;
}

} // namespace

// A night away: what came while the program was not running is new after the next start; the
// tray menu's commands by keyboard; balloons kept back while paused or busy, summed up after; a
// kept list that is damaged starts afresh.
TEST_F(Program, RemembersWhatWasSeenAcrossRestartsAndKeepsQuietWhenAsked) {
    serve_feed(feed_xml(FIRST));
    CProgram& first = start();
    EXPECT_TRUE(eventually([&] { return first.status(1).rfind(L"Sprawdzono ", 0) == 0; }));
    EXPECT_EQ(first.quit(), 0);
    ASSERT_NE(GetFileAttributesW(seen_path().c_str()), INVALID_FILE_ATTRIBUTES) << "nothing was kept";

    std::vector<RT> night = FIRST;
    night[0].posts = 8;
    night.push_back({104, 1, 3, 0, true, false, "2026-12-09 07:00", "Nocny temat"});
    serve_feed(feed_xml(night));
    char busy[MAX_PATH];
    GetTempPathA(MAX_PATH, busy);
    const std::string busy_file =
        std::string(busy) + "pelikant_busy_" + std::to_string(GetCurrentProcessId());
    SetEnvironmentVariableA("PELIKANT_E2E_BUSY_FILE", busy_file.c_str());
    CProgram& program = start();
    SetEnvironmentVariableA("PELIKANT_E2E_BUSY_FILE", nullptr);
    ASSERT_NE(program.forum_list, nullptr);
    CRemoteList& forum = *program.forum_list;
    ASSERT_TRUE(eventually([&] { return forum.count() == 4 && forum.text(0, 1) == L"8 (+3)"; }));
    EXPECT_EQ(forum.text(1, 1), L"3");
    EXPECT_EQ(forum.text(3, 1), L"1 (+1)");
    EXPECT_TRUE(eventually([&] { return program.status(1).rfind(L"4 nowe posty w 2 tematach · ", 0) == 0; }))
        << program.status(1);
    // The balloon follows the icon and the line.
    ASSERT_TRUE(eventually([&] { return !balloons().empty(); }));
    ASSERT_TRUE(program.flush());
    EXPECT_EQ(balloons(),
              std::vector<std::string>{
                  u8"4 nowe posty od ostatniego uruchomienia|Nocny temat\\nWskaźniki a referencje"});
    EXPECT_EQ(tray_icon(), std::to_string(IDI_NEW_POSTS));

    // Everything marked read from the tray menu.
    ASSERT_TRUE(tray_menu(program, {'O'}));
    EXPECT_TRUE(eventually([&] { return forum.text(0, 1) == L"8" && forum.text(3, 1) == L"1"; }));
    EXPECT_TRUE(eventually([&] { return tray_icon() == std::to_string(IDI_PELIKANT); }));
    EXPECT_EQ(program.status(1).rfind(L"Sprawdzono ", 0), 0u) << program.status(1);

    // "Sprawdź teraz" polls at once; F5, right after it, is refused.
    Sleep(PELIKANT_CHECK_SPACING_MS + 100);
    const size_t answers = log_lines("answer ").size();
    ASSERT_TRUE(tray_menu(program, {'S'}));
    EXPECT_TRUE(eventually([&] { return log_lines("answer ").size() == answers + 1; }));
    SetForegroundWindow(program.window);
    press({VK_F5});
    EXPECT_TRUE(eventually([&] { return program.status(1).rfind(L"Sprawdzono przed chwilą", 0) == 0; }))
        << program.status(1);

    // Paused for an hour: said in the tip; a new post shows but brings no balloon until the pause
    // ends, and then one balloon sums up.
    ASSERT_TRUE(tray_menu(program, {'W', 'G'}));
    EXPECT_TRUE(eventually([&] {
        return tray_tip().find(u8"Powiadomienia wstrzymane do ") != std::string::npos;
    })) << tray_tip();
    // More posts in the first topic, shown in the list but told of by no balloon.
    const auto held_back = [&](int posts, const wchar_t* column) {
        const size_t told = balloons().size();
        night[0].posts = posts;
        serve_feed(feed_xml(night));
        program.poll();
        EXPECT_TRUE(eventually([&] { return forum.text(0, 1) == column; })) << forum.text(0, 1);
        EXPECT_TRUE(program.flush() && balloons().size() == told) << "a balloon while it had to wait";
    };
    held_back(9, L"9 (+1)");
    ASSERT_TRUE(tray_menu(program, {'W', 'W'}));
    ASSERT_TRUE(eventually([&] { return balloons().size() == 2; }));
    EXPECT_EQ(balloons().back(), u8"W międzyczasie: 1 nowy post w 1 temacie|Wskaźniki a referencje");
    EXPECT_EQ(tray_tip().find(u8"wstrzymane"), std::string::npos) << tray_tip();

    // A new account's quiet time (as busy, presenting, a full-screen game): the same; the summary
    // at the first tick after.
    std::ofstream(busy_file) << QUNS_QUIET_TIME;
    held_back(11, L"11 (+3)");
    std::remove(busy_file.c_str());
    program.poll();
    ASSERT_TRUE(eventually([&] { return balloons().size() == 3; }));
    EXPECT_EQ(balloons().back(), u8"W międzyczasie: 3 nowe posty w 1 temacie|Wskaźniki a referencje");
    // Three balloons since the last click on one: the click may be on any, so the window shows and
    // nothing opens. (After one balloon alone, a click opens its topic: the walks above.)
    key(program.box, VK_ESCAPE);
    ASSERT_TRUE(eventually([&] { return !program.shown(); }));
    program.tray(NIN_BALLOONUSERCLICK);
    EXPECT_TRUE(eventually([&] { return program.shown(); }));
    ASSERT_TRUE(program.flush());
    EXPECT_EQ(opened(), std::vector<std::string>{});

    // Starting with Windows: the Run value names the program with /tray, and goes again.
    const std::wstring before = run_value();
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Pelikant");
    ASSERT_TRUE(tray_menu(program, {'U'}));
    const std::wstring ending = L"pelikant_e2e.exe\" /tray";
    EXPECT_TRUE(eventually([&] {
        const std::wstring value = run_value();
        return value.size() > ending.size() && value[0] == L'"' &&
               value.compare(value.size() - ending.size(), ending.size(), ending) == 0;
    })) << testing::PrintToString(run_value());
    ASSERT_TRUE(tray_menu(program, {'U'}));
    EXPECT_TRUE(eventually([&] { return run_value().empty(); }));
    if (!before.empty()) {
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Pelikant",
                        REG_SZ, before.c_str(), static_cast<DWORD>((before.size() + 1) * sizeof(wchar_t)));
    }

    // A kept list that is damaged: a fresh start, said in the status line; nothing announced, and
    // the list is written whole again.
    EXPECT_EQ(program.quit(), 0);
    std::ofstream(std::filesystem::path(seen_path()), std::ios::binary) << "pelikant-seen 1\n7 1";
    CProgram& again = start();
    EXPECT_TRUE(eventually([&] { return again.status(1).find(L"uszkodzona") != std::wstring::npos; }))
        << again.status(1);
    EXPECT_TRUE(eventually([&] { return again.forum_list->text(0, 1) == L"11"; }));
    EXPECT_EQ(again.quit(), 0);
    EXPECT_EQ(balloons().size(), 3u);
    std::string kept;
    std::getline(std::ifstream{std::filesystem::path(seen_path())}, kept);
    EXPECT_EQ(kept, "pelikant-seen 3");

    // An older thread back in the feed with a reply, and a deleted post: one post new, nothing
    // for the deletion; then a reply after the deletion is news, and a restart with topics left
    // unread and nothing new is silent.
    std::vector<RT> later = night;
    later[0].posts = 10;
    later.push_back({50, 57, 3, 0, true, false, "2026-12-09 09:00", "Stary temat wraca"});
    serve_feed(feed_xml(later));
    CProgram& late = start();
    ASSERT_TRUE(eventually([&] { return late.forum_list->text(4, 1) == L"57 (+1)"; }))
        << late.forum_list->text(4, 1);
    EXPECT_EQ(late.forum_list->text(0, 1), L"10");
    ASSERT_TRUE(eventually([&] { return balloons().size() == 4; }));
    EXPECT_EQ(balloons().back(), u8"1 nowy post od ostatniego uruchomienia|Stary temat wraca");
    later[0].posts = 11;
    serve_feed(feed_xml(later));
    late.poll();
    EXPECT_TRUE(eventually([&] { return late.forum_list->text(0, 1) == L"11 (+1)"; }))
        << late.forum_list->text(0, 1);
    ASSERT_TRUE(eventually([&] { return balloons().size() == 5; }));
    EXPECT_EQ(late.quit(), 0);
    CProgram& silent = start();
    EXPECT_TRUE(eventually([&] { return silent.status(1).rfind(L"2 nowe posty w 2 tematach · ", 0) == 0; }))
        << silent.status(1);
    EXPECT_TRUE(silent.flush() && balloons().size() == 5) << balloons().back();

    // Logoff: a change within the second after the last write is written before the session
    // ends, and the program may be ended at once after it.
    for (int posts : {12, 13}) {
        later[0].posts = posts;
        serve_feed(feed_xml(later));
        silent.poll();
        ASSERT_TRUE(
            eventually([&] { return posts_of(silent.forum_list->text(0, 1)) == std::to_wstring(posts); }));
    }
    SendMessageW(silent.window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    SendMessageW(silent.window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    TerminateProcess(silent.process(), 1);
    const size_t told = balloons().size();
    CProgram& next = start();
    EXPECT_TRUE(eventually([&] { return next.status(1).rfind(L"4 nowe posty w 2 tematach · ", 0) == 0; }))
        << next.status(1);
    EXPECT_TRUE(next.flush() && balloons().size() == told)
        << "the last change was lost: " << balloons().back();
}

// Following and muting, by keyboard: a muted topic's posts bring neither a balloon nor a count;
// while only followed topics are told of, posts elsewhere bring nothing and the followed topic's a
// balloon; posts in three topics, one balloon naming them all; and after a restart each row still
// says in words what was asked of it.
TEST_F(Program, FollowsAndMutesTopicsAndSaysSoInWords) {
    std::vector<RT> topics = FIRST;
    serve_feed(feed_xml(topics));
    CProgram& program = start();
    CRemoteList& forum = *program.forum_list;
    ASSERT_TRUE(
        eventually([&] { return forum.count() == 3 && program.status(1).rfind(L"Sprawdzono ", 0) == 0; }));
    SetForegroundWindow(program.window);
    press({VK_F6});
    press({VK_F6}); // the box, the results, the topics
    ASSERT_TRUE(eventually([&] { return program.focus() == program.forum; }));
    press({VK_HOME});
    press({VK_SHIFT, VK_F10});
    ASSERT_TRUE(choose({'W'}));
    EXPECT_TRUE(eventually([&] { return forum.text(0, 3) == L"wyciszony"; })) << forum.text(0, 3);
    press({VK_DOWN});
    press({VK_SHIFT, VK_F10});
    ASSERT_TRUE(choose({'B'}));
    EXPECT_TRUE(eventually([&] { return forum.text(1, 3) == L"obserwowany"; })) << forum.text(1, 3);
    ASSERT_TRUE(tray_menu(program, {'T'}));
    // Posts in the muted topic, then in the third one: shown, neither counted nor told of.
    const auto posts = [&](size_t row, int count, const wchar_t* column, size_t balloons_after) {
        topics[row].posts = count;
        serve_feed(feed_xml(topics));
        program.poll();
        EXPECT_TRUE(eventually([&] { return forum.text(static_cast<int>(row), 1) == column; }))
            << forum.text(static_cast<int>(row), 1);
        EXPECT_TRUE(program.flush() && balloons().size() == balloons_after) << row;
    };
    posts(0, 7, L"7", 0);
    posts(2, 3, L"3 (+2)", 0);
    EXPECT_EQ(program.status(1).rfind(L"Sprawdzono ", 0), 0u) << program.status(1);
    EXPECT_EQ(tray_icon(), std::to_string(IDI_PELIKANT));
    posts(1, 4, L"4 (+1)", 1);
    EXPECT_EQ(balloons().back(), PELIKANT_SITE_URL u8" (Postów: 4)|Zamknięty i przypięty");
    EXPECT_EQ(program.status(1).rfind(L"1 nowy post w 1 temacie · ", 0), 0u) << program.status(1);

    // All told of again: posts in three topics, one balloon that names them, latest first.
    ASSERT_TRUE(tray_menu(program, {'T'}));
    topics[1].posts = 5;
    topics[2].posts = 4;
    topics.push_back({104, 2, 3, 0, true, false, "2026-12-09 07:00", "Nowy wątek"});
    posts(0, 8, L"8", 2);
    EXPECT_EQ(balloons().back(),
              u8"4 nowe posty w 3 tematach|Nowy wątek\\nZamknięty i przypięty\\nOtwarty, odwiedzony");

    EXPECT_EQ(program.quit(), 0);
    CProgram& again = start();
    ASSERT_TRUE(eventually([&] { return again.forum_list->count() == 4; }));
    EXPECT_EQ(again.forum_list->text(0, 3), L"wyciszony");
    EXPECT_EQ(again.forum_list->text(1, 3), L"obserwowany");
    EXPECT_EQ(again.forum_list->text(2, 3), L"");
}

// Run by its own test entry in a prefix whose display is at 150 % (144 DPI).
TEST_F(Program, GrowsWithTheDisplayScaling) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (dpi != 144) {
        GTEST_SKIP() << "the display is at " << dpi << " DPI; the entry app_144dpi runs this at 144";
    }
    serve_feed(feed_xml(FIRST));
    CProgram& program = start();
    ASSERT_NE(program.forum_list, nullptr);
    CRemoteList& forum = *program.forum_list;
    ASSERT_TRUE(eventually([&] { return forum.text(0, 0) == L"Wskaźniki a referencje"; }));
    auto size = [](HWND window) {
        RECT r;
        GetWindowRect(window, &r);
        return std::make_pair(r.right - r.left, r.bottom - r.top);
    };
    // The 96-DPI design, 615 by 370 with a list 110 high and a box 24 high, half as large again.
    EXPECT_EQ(size(program.window), std::make_pair(923L, 555L));
    EXPECT_EQ(size(program.forum).second, 165);
    EXPECT_EQ(size(program.box).second, 36);
    RECT client, results;
    GetClientRect(program.window, &client);
    GetWindowRect(program.results, &results);
    EXPECT_EQ(results.right - results.left, client.right) << "the result list spans the window";
    // Every header's text fits its column, with the header's margins (6 px a side at 96 DPI).
    for (int column = 0; column < 4; ++column) {
        const int width = static_cast<int>(SendMessageW(program.forum, LVM_GETCOLUMNWIDTH, column, 0));
        EXPECT_GE(width, forum.string_width(forum.header(column)) + 18) << column;
    }
    SetForegroundWindow(program.window);
    ASSERT_TRUE(program.flush());
    const std::string shot = beside_test("screenshot-144dpi.bmp");
    EXPECT_TRUE(save_window(program.window, shot.c_str()));
    std::printf("the window at 144 DPI: %s\n", shot.c_str());
}

namespace {

// A good feed whose first topic has `posts` posts: each one announces against the one before.
std::string good_feed(int posts) {
    std::vector<RT> topics = FIRST;
    topics[0].posts = posts;
    return feed_xml(topics);
}

} // namespace

TEST_F(Program, HostileAnswersChangeNothingAndTheNextGoodFeedIsJudgedAgainstTheLastGoodOne) {
    int posts = 10;
    serve_feed(good_feed(posts));
    CProgram& program = start();
    ASSERT_NE(program.forum_list, nullptr);
    CRemoteList& forum = *program.forum_list;
    ASSERT_TRUE(eventually(
        [&] { return posts_of(forum.text(0, 1)) == L"10" && program.result_list->count() == index_rows(); }));
    const RProcessFigures start_figures =
        process_figures(program.process(), program.pid(), "pelikant_e2e.exe");
    // The posts each topic showed when it was last in a feed; whether posts came in the list.
    std::map<LPARAM, int> met;
    const auto meet = [&] {
        bool came = false;
        for (int row = 0; row < forum.count(); ++row) {
            const int shown = std::stoi(L"0" + posts_of(forum.text(row, 1)));
            const auto before = met.find(forum.data(row));
            came = came || (before == met.end() ? shown > 0 : shown > before->second);
            met[forum.data(row)] = shown;
        }
        return came;
    };
    meet();

    for (const auto& c : HOSTILE) {
        const char* name = c.name;
        const size_t announced = balloons().size();
        const size_t answered = log_lines("answer ").size();
        script_feed("?as=" + escape(std::string("/t/hostile?case=") + name));
        program.poll();
        // The program has dealt with the answer (its short transfer limit ends a server that
        // hangs or drips), and its window with what the answer asked of it.
        ASSERT_TRUE(eventually([&] { return log_lines("answer ").size() > answered; }, 30000)) << name;
        const std::string answer = log_lines("answer ").back();
        EXPECT_EQ(answer.rfind("answer feed ", 0) == 0, c.shown > 0) << name << ": " << answer;
        ASSERT_TRUE(program.flush()) << name;
        ASSERT_EQ(program.wait(0), -1) << name << ": the program ended";
        if (c.shown == 0) {
            EXPECT_EQ(balloons().size(), announced) << name << ": a bad answer announced something";
            EXPECT_EQ(forum.count(), 3) << name;
            EXPECT_EQ(posts_of(forum.text(0, 1)), std::to_wstring(posts))
                << name << ": the list must show the last good feed";
        } else {
            // An odd but well-formed feed is shown and, when posts came in it (its topics being
            // others: one post of each met for the first time, those grown since), announced once.
            EXPECT_EQ(forum.count(), c.shown) << name;
            EXPECT_EQ(balloons().size(), announced + (meet() ? 1 : 0)) << name;
        }

        // The next good feed is judged against the last one that parsed: after a bad answer its
        // new post shows. (After an odd feed, whether posts came depends on that feed's counts.)
        const size_t before_good = balloons().size();
        serve_feed(good_feed(++posts));
        program.poll();
        EXPECT_TRUE(eventually([&] {
            return forum.count() == 3 && posts_of(forum.text(0, 1)) == std::to_wstring(posts);
        })) << name;
        ASSERT_TRUE(program.flush()) << name;
        meet();
        if (c.shown == 0) {
            EXPECT_EQ(balloons().size(), before_good + 1) << name;
        } else {
            EXPECT_LE(balloons().size(), before_good + 1) << name;
        }

        // Transfers that hang or drip hold a thread until the transfer limit ends them; what grew
        // comes back down, where a leak would not.
        RProcessFigures now;
        EXPECT_TRUE(eventually([&] {
            now = process_figures(program.process(), program.pid(), "pelikant_e2e.exe");
            return now.threads <= start_figures.threads + 4 && now.handles <= start_figures.handles + 16;
        })) << name
            << ": threads " << now.threads << ", handles " << now.handles;
    }
}

TEST_F(Program, EndsWithinTwoSecondsInTheMiddleOfAnyHostileAnswer) {
    for (const auto& c : HOSTILE) {
        const char* name = c.name;
        script_feed("?as=" + escape(std::string("/t/hostile?case=") + name));
        const int requests = std::atoi(get("/t/feed-count").c_str());
        CProgram& program = start();
        // The start-up download is under way (or already answered).
        ASSERT_TRUE(eventually([&] { return std::atoi(get("/t/feed-count").c_str()) > requests; })) << name;
        const DWORD before = GetTickCount();
        EXPECT_EQ(program.quit(), 0) << name << ": no exit within 2 s";
        std::printf("%-15s exit after %lu ms\n", name, static_cast<unsigned long>(GetTickCount() - before));
    }
}

namespace {

const wchar_t PERSONALIZE[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// The user's apps light (1) or dark (0), and the news of it to window, as Windows' settings give them.
void set_apps_light(DWORD light, HWND window = nullptr) {
    RegSetKeyValueW(HKEY_CURRENT_USER, PERSONALIZE, L"AppsUseLightTheme", REG_DWORD, &light, sizeof(light));
    DWORD_PTR answer = 0;
    if (window != nullptr) {
        SendMessageTimeoutW(window, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"),
                            SMTO_ABORTIFHUNG, 5000, &answer);
    }
}

// WCAG's contrast of two colours, 1 to 21.
double contrast(COLORREF a, COLORREF b) {
    const auto luminance = [](COLORREF c) {
        double sum = 0;
        const double weights[] = {0.2126, 0.7152, 0.0722};
        const BYTE parts[] = {GetRValue(c), GetGValue(c), GetBValue(c)};
        for (int i = 0; i < 3; ++i) {
            const double v = parts[i] / 255.0;
            sum += weights[i] * (v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
        }
        return sum;
    };
    const double x = luminance(a) + 0.05, y = luminance(b) + 0.05;
    return std::max(x, y) / std::min(x, y);
}

} // namespace

// The look follows the user's apps mode while the program runs, without a restart: in dark the
// background, box, lists, headers and status bar are dark and the title bar's attribute is handed
// to the DWM; in light, and always in high contrast, everything is in the system's own colours.
TEST_F(Program, FollowsTheSystemsLightOrDarkWhileRunning) {
    using app::EColour;
    const std::pair<EColour, EColour> readable[] = {{EColour::LIST, EColour::LIST_TEXT},
                                                    {EColour::LIST, EColour::NEW_TEXT},
                                                    {EColour::LIST, EColour::GREY_TEXT},
                                                    {EColour::SELECTED, EColour::SELECTED_TEXT},
                                                    {EColour::SELECTED_IDLE, EColour::SELECTED_IDLE_TEXT},
                                                    {EColour::HEADER, EColour::HEADER_TEXT},
                                                    {EColour::BOX, EColour::BOX_TEXT},
                                                    {EColour::BAR, EColour::BAR_TEXT}};
    for (const auto& pair : readable) {
        EXPECT_GE(contrast(app::colour(pair.first, true), app::colour(pair.second, true)), 4.5)
            << static_cast<int>(pair.second);
    }

    char contrast_file[MAX_PATH];
    GetTempPathA(MAX_PATH, contrast_file);
    const std::string high_contrast =
        std::string(contrast_file) + "pelikant_contrast_" + std::to_string(GetCurrentProcessId());
    SetEnvironmentVariableA("PELIKANT_E2E_HIGH_CONTRAST", high_contrast.c_str());
    serve_feed(feed_xml(FIRST));
    set_apps_light(1);
    CProgram& program = start();
    SetEnvironmentVariableA("PELIKANT_E2E_HIGH_CONTRAST", nullptr);
    ASSERT_NE(program.forum_list, nullptr);
    ASSERT_TRUE(eventually([&] { return program.forum_list->count() == 3; }));
    SetForegroundWindow(program.window);
    const HWND header = reinterpret_cast<HWND>(SendMessageW(program.forum, LVM_GETHEADER, 0, 0));
    // Points of the background each part paints, away from any text, and its colour in light.
    const auto at = [](HWND control, int x, int y) {
        RECT r;
        GetClientRect(control, &r);
        return std::make_pair(control, POINT{x < 0 ? r.right + x : x, y < 0 ? r.bottom + y : y});
    };
    const struct {
        std::pair<HWND, POINT> point;
        int light;
    } parts[] = {{at(program.window, 5, wapi::scale(120, wapi::window_dpi(program.window))), COLOR_WINDOW},
                 {at(program.box, -10, 4), COLOR_WINDOW},
                 {at(program.forum, 300, -5), COLOR_WINDOW},
                 {at(header, 300, -4), COLOR_WINDOW},
                 {at(program.bar, -10, 4), COLOR_BTNFACE}};
    // The first part that is not as the mode asks, once the window has been painted; none.
    const auto wrong_part = [&](bool dark) {
        RedrawWindow(program.window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        HDC screen = GetDC(nullptr);
        std::string wrong;
        for (const auto& part : parts) {
            POINT p = part.point.second;
            ClientToScreen(part.point.first, &p);
            const COLORREF seen = GetPixel(screen, p.x, p.y);
            if (dark ? GetRValue(seen) + GetGValue(seen) + GetBValue(seen) >= 3 * 64
                     : seen != GetSysColor(part.light)) {
                wrong = "part " + std::to_string(&part - parts) + ": " + std::to_string(seen);
                break;
            }
        }
        ReleaseDC(nullptr, screen);
        return wrong;
    };
    const auto shown = [&](bool dark) {
        std::string wrong;
        const bool painted =
            program.flush() && eventually([&] { return (wrong = wrong_part(dark)).empty(); }, 3000);
        for (HWND list : {program.forum, program.results}) {
            const COLORREF back = static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0));
            const COLORREF text = static_cast<COLORREF>(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0));
            EXPECT_EQ(back, dark ? app::colour(EColour::LIST, true) : GetSysColor(COLOR_WINDOW));
            EXPECT_EQ(text, dark ? app::colour(EColour::LIST_TEXT, true) : GetSysColor(COLOR_WINDOWTEXT));
        }
        EXPECT_TRUE(painted) << (dark ? "dark, " : "light, ") << wrong;
    };
    shown(false);
    set_apps_light(0, program.window);
    shown(true);
    // Menus stay light where the system has no dark ones (as here), and open as before.
    EXPECT_TRUE(tray_menu(program, {VK_ESCAPE}));

    // High contrast: the system's colours, whatever the apps mode; dark again once it is off.
    std::ofstream(high_contrast) << "1";
    SendMessageW(program.window, WM_SYSCOLORCHANGE, 0, 0);
    shown(false);
    std::remove(high_contrast.c_str());
    SendMessageW(program.window, WM_SYSCOLORCHANGE, 0, 0);
    shown(true);
    set_apps_light(1, program.window); // and light it stays, as a new prefix has it
    shown(false);

    // What the DWM was handed for the title bar, each change once.
    std::vector<std::string> frames = log_lines("frame ");
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    EXPECT_EQ(frames, (std::vector<std::string>{"frame 20 0", "frame 20 1", "frame 20 0", "frame 20 1",
                                                "frame 20 0"}));
}
