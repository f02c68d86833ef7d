// The common-control wrappers on real controls in one window, and the tray icon through a
// stand-in for the shell (and once through Wine's own notification area).
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "gui_window.h"
#include "wapi/controls.h"
#include "wapi/notify_icon.h"

using namespace wapi;

namespace {

class Controls : public testing::Test {
protected:
    static void SetUpTestSuite() { window_ = test::CGuiWindow::open(L"PelikantControlsTest"); }
    static void TearDownTestSuite() {
        test::CGuiWindow::close(window_);
        window_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(window_, nullptr); }

    // Creates control in the window; null (and the control deleted) on failure.
    template <typename T> static T* add(T* control, const RRect& r) {
        control->rect = r;
        bool ok = false;
        window_->run([&] { ok = CWindowBase::add_control(control, window_); });
        return ok ? control : nullptr;
    }

    static test::CGuiWindow* window_;
};

test::CGuiWindow* Controls::window_ = nullptr;

int selected_items(const CListView& list) {
    return static_cast<int>(SendMessageA(list.handle, LVM_GETSELECTEDCOUNT, 0, 0));
}

} // namespace

TEST_F(Controls, MoveSelectionStaysInsideTheList) {
    CListView* list = add(new CListView, RRect{0, 0, 299, 199});
    ASSERT_NE(list, nullptr);
    const struct {
        int items;
        int focused; // -1: none
        int delta;
        int expected; // -1: nothing selected
    } cases[] = {
        {0, -1, 1, -1}, {0, -1, -1, -1}, {5, 4, 1, 4},  {5, -1, -1, 0},
        {5, -1, 8, 4},  {5, 2, -1, 1},   {5, 0, -8, 0}, {5, 1, 2, 3},
    };
    for (const auto& c : cases) {
        int focused = -2, count = -2;
        bool selected = false;
        window_->run([&] {
            list->delete_all();
            for (int i = 0; i < c.items; ++i) {
                list->insert_item(std::to_wstring(i).c_str(), i * 10);
            }
            if (c.focused >= 0) {
                list->select_item(c.focused);
            }
            list->move_selection(c.delta);
            focused = list->focused_item();
            selected =
                c.expected >= 0 && (SendMessageA(list->handle, LVM_GETITEMSTATE, c.expected, LVIS_SELECTED) &
                                    LVIS_SELECTED) != 0;
            count = selected_items(*list);
        });
        const std::string name = std::to_string(c.items) + " items, focus " + std::to_string(c.focused) +
                                 ", delta " + std::to_string(c.delta);
        EXPECT_EQ(focused, c.expected) << name;
        EXPECT_EQ(selected, c.expected >= 0) << name;
        EXPECT_EQ(count, c.expected < 0 ? 0 : (c.focused >= 0 && c.focused != c.expected ? 2 : 1)) << name;
    }

    LPARAM data = 0;
    bool found = true, missing = true, none = true;
    window_->run([&] {
        found = list->item_data(3, data);
        missing = list->item_data(5, data);
        none = list->item_data(-1, data);
    });
    EXPECT_TRUE(found);
    EXPECT_EQ(data, 30);
    EXPECT_FALSE(missing);
    EXPECT_FALSE(none);
}

TEST_F(Controls, StatusBarLastPartSpansTheWidthAndShowsItsTooltip) {
    CStatusBar* bar = add(new CStatusBar, RRect{0, 0, 99, 21});
    ASSERT_NE(bar, nullptr);
    RStatusPart* part = bar->add_part();
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->width, 150);
    part->text = L"Gotowe";
    part->tooltip = L"Podpowiedź części";
    int parts = 0, edge = 0;
    RECT part_rect = {}, bar_rect = {};
    window_->run([&] {
        bar->apply();
        bar->resize();
        parts = static_cast<int>(SendMessageA(bar->handle, SB_GETPARTS, 1, reinterpret_cast<LPARAM>(&edge)));
        SendMessageA(bar->handle, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&part_rect));
        GetClientRect(bar->handle, &bar_rect);
    });
    EXPECT_EQ(bar->part_count(), 1);
    EXPECT_EQ(parts, 1);
    EXPECT_EQ(edge, -1);
    EXPECT_GT(bar_rect.right, 600) << "resize places the bar along the whole bottom edge";
    EXPECT_GE(part_rect.right, bar_rect.right - 20) << "the only part reaches the right border (grip aside)";

    // The parts' tooltips are the bar's own (their texts are read back in the end-to-end walk); that
    // the system shows them when the mouse rests is the common controls' business.
    EXPECT_NE(GetWindowLongPtrW(bar->handle, GWL_STYLE) & SBARS_TOOLTIPS, 0);

    for (int i = 1; i < CStatusBar::MAX_PARTS; ++i) {
        ASSERT_NE(bar->add_part(), nullptr);
    }
    EXPECT_EQ(bar->add_part(), nullptr);
    EXPECT_EQ(bar->part_count(), 255);
}

namespace {

// Stands between a subclassed edit box and the edit control's own procedure.
WNDPROC g_edit_proc = nullptr;
std::vector<WPARAM> g_edit_chars;

LRESULT CALLBACK edit_spy(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CHAR) {
        g_edit_chars.push_back(wparam);
    }
    return CallWindowProcW(g_edit_proc, hwnd, message, wparam, lparam);
}

} // namespace

TEST_F(Controls, TextBoxTakesNoEnterOrEscapeCharacter) {
    CTextBox* box = add(new CTextBox, RRect{0, 0, 199, 23});
    ASSERT_NE(box, nullptr);
    // The keys themselves still reach the box's key handler; as characters the edit control
    // could only beep at them.
    window_->run([&] {
        g_edit_proc = box->previous_proc;
        box->previous_proc = &edit_spy;
        for (WPARAM unit : {WPARAM('a'), WPARAM(VK_RETURN), WPARAM(VK_ESCAPE), WPARAM(L'ż')}) {
            SendMessageW(box->handle, WM_CHAR, unit, 1);
        }
        box->previous_proc = g_edit_proc;
    });
    EXPECT_EQ(g_edit_chars, (std::vector<WPARAM>{'a', L'ż'}));
    std::wstring text;
    window_->run([&] { text = box->get_text(); });
    EXPECT_EQ(text, L"aż");
    // A query longer than the box scrolls instead of being cut at the box's width.
    window_->run([&] {
        for (int i = 0; i < 100; ++i) {
            SendMessageW(box->handle, WM_CHAR, L'w', 1);
        }
        text = box->get_text();
    });
    EXPECT_EQ(text.size(), 102u);
}

namespace {

std::wstring clipboard_text() {
    std::wstring text;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    return text;
}

} // namespace

// Clipboard managers hold the clipboard for a moment after each change: a copy waits that long,
// and one that cannot wait longer leaves the clipboard as it was.
TEST_F(Controls, CopyWaitsForAClipboardHeldForAMoment) {
    for (const DWORD held_ms : {DWORD(40), DWORD(CLIPBOARD_PATIENCE_MS * 4)}) {
        const bool waits = held_ms < CLIPBOARD_PATIENCE_MS;
        ASSERT_TRUE(copy_to_clipboard(window_->handle, L"przed"));
        std::atomic<int> opened{-1};
        std::thread manager([&] {
            opened = OpenClipboard(nullptr) != FALSE ? 1 : 0;
            Sleep(held_ms);
            CloseClipboard();
        });
        while (opened < 0) {
            Sleep(1);
        }
        EXPECT_EQ(opened, 1);
        EXPECT_EQ(copy_to_clipboard(window_->handle, L"po"), waits) << held_ms;
        manager.join();
        EXPECT_EQ(clipboard_text(), waits ? L"po" : L"przed") << held_ms;
    }
}

// An owned handle is freed when it is replaced and when its owner goes, and a move hands it over.
TEST_F(Controls, OwnedHandlesAreFreedOnceAndHandedOverByMoves) {
    CImageList images = make_image_list(16);
    ASSERT_TRUE(images.is_valid());
    const HIMAGELIST first = images.get();
    const CIcon icon(CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)));
    EXPECT_EQ(add_icon(first, icon.get()), 0);
    EXPECT_EQ(add_icon(nullptr, icon.get()), -1);
    CImageList moved = std::move(images);
    EXPECT_FALSE(images.is_valid());
    EXPECT_EQ(moved.get(), first);
    moved = make_image_list(16); // made before the first goes, so it cannot reuse its address
    // Wine checks the list before using it: a destroyed list cannot be destroyed again.
    EXPECT_FALSE(ImageList_Destroy(first)) << "the list replaced was not destroyed";
    const HIMAGELIST kept = moved.release();
    EXPECT_FALSE(moved.is_valid());
    EXPECT_TRUE(ImageList_Destroy(kept)) << "a released list is no longer the owner's to destroy";
}

// ---------------------------------------------------------------------------------------------
// Tray icon

namespace {

// Stands in front of Shell_NotifyIconW: records every call and answers as told.
struct RShellCall {
    DWORD message;
    NOTIFYICONDATAW data;
};

struct RFakeShell {
    std::vector<RShellCall> calls;
    std::vector<UINT> versions; // asked for with NIM_SETVERSION, which is not among the calls
    BOOL take_version = TRUE;
    int refuse = 0; // calls still to fail
};

RFakeShell* g_shell = nullptr;
const kernel::RNtVersion CURRENT{10, 0};

BOOL WINAPI fake_notify(DWORD message, PNOTIFYICONDATAW data) {
    if (message == NIM_SETVERSION) {
        g_shell->versions.push_back(data->uVersion);
        return g_shell->take_version;
    }
    g_shell->calls.push_back(RShellCall{message, *data});
    if (g_shell->refuse > 0) {
        --g_shell->refuse;
        return FALSE;
    }
    return TRUE;
}

class Tray : public testing::Test {
protected:
    void SetUp() override { g_shell = &shell; }
    void TearDown() override { g_shell = nullptr; }
    std::vector<DWORD> messages() const {
        std::vector<DWORD> out;
        for (const RShellCall& call : shell.calls) {
            out.push_back(call.message);
        }
        return out;
    }
    static HICON application_icon() { return CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)); }

    RFakeShell shell;
    HWND window = reinterpret_cast<HWND>(0x1234);
};

} // namespace

TEST_F(Tray, RecordLayoutFollowsTheVersion) {
    // Windows NT versions: 4.0, 2000, XP, Server 2003 and XP x64, Vista, 10, one that could not
    // be read.
    // A full record asks for version 4 after its add, and then its tip needs NIF_SHOWTIP to show
    // at all; from Windows 7 on, balloons keep quiet time.
    const DWORD QUIET = NIIF_RESPECT_QUIET_TIME;
    const DWORD FULL_TIP = NIF_MESSAGE | NIF_TIP | NIF_SHOWTIP;
    const DWORD OLD_TIP = NIF_MESSAGE | NIF_TIP;
    const struct {
        kernel::RNtVersion version;
        DWORD size;
        DWORD info_flags;
        DWORD balloon_flags;
        std::vector<UINT> versions;
        DWORD tip_flags;
    } cases[] = {
        {{4, 0}, NOTIFYICONDATAW_V2_SIZE, 0, 0, {}, OLD_TIP},
        {{5, 0}, NOTIFYICONDATAW_V2_SIZE, 0, 0, {}, OLD_TIP},
        {{5, 1}, NOTIFYICONDATAW_V3_SIZE, NIIF_USER, NIIF_USER, {}, OLD_TIP},
        {{5, 2}, NOTIFYICONDATAW_V3_SIZE, NIIF_USER, NIIF_USER, {}, OLD_TIP},
        {{6, 0},
         sizeof(NOTIFYICONDATAW),
         NIIF_USER | NIIF_LARGE_ICON,
         NIIF_USER | NIIF_LARGE_ICON,
         {4},
         FULL_TIP},
        {{6, 1},
         sizeof(NOTIFYICONDATAW),
         NIIF_USER | NIIF_LARGE_ICON,
         NIIF_USER | NIIF_LARGE_ICON | QUIET,
         {4},
         FULL_TIP},
        {{10, 0},
         sizeof(NOTIFYICONDATAW),
         NIIF_USER | NIIF_LARGE_ICON,
         NIIF_USER | NIIF_LARGE_ICON | QUIET,
         {4},
         FULL_TIP},
        {{0, 0},
         sizeof(NOTIFYICONDATAW),
         NIIF_USER | NIIF_LARGE_ICON,
         NIIF_USER | NIIF_LARGE_ICON | QUIET,
         {4},
         FULL_TIP},
    };
    for (const auto& c : cases) {
        shell.calls.clear();
        shell.versions.clear();
        // No module: the balloon icon comes from the system's icons.
        CNotifyIcon icon(c.version, &fake_notify, nullptr);
        const NOTIFYICONDATAW record = icon.record();
        EXPECT_TRUE(shell.calls.empty()) << "constructing sends nothing";
        EXPECT_EQ(record.cbSize, c.size) << c.version.major << "." << c.version.minor;
        EXPECT_EQ(record.dwInfoFlags, c.info_flags) << c.version.major << "." << c.version.minor;
        EXPECT_EQ(record.uID, 1u);
        EXPECT_EQ(record.uFlags, 0u);
        EXPECT_FALSE(icon.shown());
        // With a balloon icon the balloon carries the version's flags.
        icon.set_window(window);
        icon.set_balloon_icon(32512); // IDI_APPLICATION
        ASSERT_TRUE(icon.show_balloon(L"t", L"x"));
        ASSERT_EQ(shell.calls.size(), 2u);
        EXPECT_EQ(shell.calls[1].data.cbSize, c.size) << c.version.major << "." << c.version.minor;
        EXPECT_EQ(shell.calls[1].data.dwInfoFlags, c.balloon_flags)
            << c.version.major << "." << c.version.minor;
        EXPECT_EQ(shell.versions, c.versions) << c.version.major << "." << c.version.minor;
        EXPECT_NE(shell.calls[1].data.hBalloonIcon, nullptr);
        // Every record with a tip, the add after a failed one included.
        shell.refuse = 1;
        icon.remove();
        icon.set_window(window);
        icon.set_tip(L"Pelikant");
        icon.set_tip(L"Pelikant: sprawdzono");
        for (size_t i = shell.calls.size() - 2; i < shell.calls.size(); ++i) {
            EXPECT_EQ(shell.calls[i].data.uFlags, c.tip_flags) << c.version.major << "." << c.version.minor;
        }
    }
}

TEST_F(Tray, AddFirstModifyAfterAndRetryAFailedAdd) {
    CNotifyIcon icon(CURRENT, &fake_notify);
    shell.refuse = 1;
    EXPECT_FALSE(icon.set_window(window));
    EXPECT_FALSE(icon.shown());
    EXPECT_TRUE(icon.set_tip(L"http://127.0.0.1:8765"));
    EXPECT_TRUE(icon.shown());
    EXPECT_TRUE(icon.set_icon(application_icon()));
    EXPECT_TRUE(icon.update());
    EXPECT_FALSE(icon.show_icon(999)) << "no such icon resource";
    EXPECT_EQ(messages(), (std::vector<DWORD>{NIM_ADD, NIM_ADD, NIM_MODIFY, NIM_MODIFY}));

    const NOTIFYICONDATAW& added = shell.calls[1].data;
    EXPECT_EQ(added.hWnd, window);
    // A message number of the application's own range, never the system's (WM_CONTEXTMENU and the
    // like would mix the icon's clicks with the window's).
    EXPECT_GE(added.uCallbackMessage, static_cast<UINT>(WM_APP));
    EXPECT_LT(added.uCallbackMessage, 0xC000u);
    EXPECT_EQ(added.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_TIP | NIF_SHOWTIP));
    EXPECT_STREQ(added.szTip, L"http://127.0.0.1:8765");
    EXPECT_EQ(shell.calls[2].data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_TIP | NIF_SHOWTIP | NIF_ICON));
    EXPECT_NE(shell.calls[2].data.hIcon, nullptr);

    EXPECT_TRUE(icon.set_icon(nullptr));
    EXPECT_EQ(shell.calls.back().data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_TIP | NIF_SHOWTIP));
    EXPECT_TRUE(icon.set_tip(L""));
    EXPECT_EQ(shell.calls.back().data.uFlags, static_cast<UINT>(NIF_MESSAGE));

    // A failed modify keeps the icon shown.
    shell.refuse = 1;
    EXPECT_FALSE(icon.update());
    EXPECT_TRUE(icon.shown());
    EXPECT_EQ(shell.calls.back().message, static_cast<DWORD>(NIM_MODIFY));
}

TEST_F(Tray, LongTextsAreCutToTheirFieldsBetweenCharacters) {
    CNotifyIcon icon(CURRENT, &fake_notify);
    icon.set_window(window);
    // A character outside the basic plane takes two units: one that would straddle the end of a
    // field is left out whole.
    const std::wstring pair = L"\xd83d\xde00"; // U+1F600
    const struct {
        std::wstring text;
        std::wstring tip, title, body; // as sent
    } cases[] = {
        {std::wstring(500, L'ż'), std::wstring(127, L'ż'), std::wstring(63, L'ż'), std::wstring(255, L'ż')},
        {std::wstring(62, L'a') + pair + std::wstring(200, L'b'),
         std::wstring(62, L'a') + pair + std::wstring(63, L'b'), std::wstring(62, L'a'),
         std::wstring(62, L'a') + pair + std::wstring(191, L'b')},
        {std::wstring(126, L'a') + pair + pair + std::wstring(200, L'b'), std::wstring(126, L'a'),
         std::wstring(63, L'a'), std::wstring(126, L'a') + pair + pair + std::wstring(125, L'b')},
        {std::wstring(254, L'a') + pair, std::wstring(127, L'a'), std::wstring(63, L'a'),
         std::wstring(254, L'a')},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(icon.set_tip(c.text));
        ASSERT_TRUE(icon.show_balloon(c.text, c.text));
        const NOTIFYICONDATAW& sent = shell.calls.back().data;
        EXPECT_EQ(std::wstring(sent.szTip), c.tip) << c.text.size();
        EXPECT_EQ(std::wstring(sent.szInfoTitle), c.title) << c.text.size();
        EXPECT_EQ(std::wstring(sent.szInfo), c.body) << c.text.size();
    }
}

TEST_F(Tray, BalloonLeavesTheRecordUntouched) {
    CNotifyIcon icon(CURRENT, &fake_notify);
    icon.set_window(window);
    icon.set_tip(L"Pelikant");
    const NOTIFYICONDATAW before = icon.record();
    ASSERT_TRUE(icon.show_balloon(L"http://127.0.0.1:8765 (Postów: 3)", L"Temat"));
    const NOTIFYICONDATAW after = icon.record();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof(before)), 0);

    const RShellCall& call = shell.calls.back();
    EXPECT_EQ(call.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(call.data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_TIP | NIF_SHOWTIP | NIF_INFO));
    EXPECT_EQ(call.data.uTimeout, 3000u);
    EXPECT_EQ(call.data.dwInfoFlags, static_cast<DWORD>(NIIF_RESPECT_QUIET_TIME))
        << "no balloon icon, no icon flags";
    EXPECT_STREQ(call.data.szInfoTitle, L"http://127.0.0.1:8765 (Postów: 3)");
    EXPECT_STREQ(call.data.szInfo, L"Temat");

    // A balloon is an operation that adds the icon when the shell does not hold it yet.
    CNotifyIcon fresh(CURRENT, &fake_notify);
    ASSERT_TRUE(fresh.show_balloon(L"a", L"b"));
    EXPECT_EQ(shell.calls.back().message, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(fresh.shown());
}

// Once the shell has taken version 4, the event and the icon's id share lParam and wParam is the
// anchor; a shell that refused it sends the mouse message in lParam and the id in wParam, and its
// button releases read as the click and the menu request.
TEST_F(Tray, CallbacksAreReadInTheLayoutTheShellTook) {
    const struct {
        BOOL take_version;
        WPARAM wparam;
        LPARAM lparam;
        UINT event;
        bool ours;
        POINT anchor; // x -1: the cursor
    } cases[] = {
        {TRUE, MAKEWPARAM(120, 700), MAKELPARAM(NIN_KEYSELECT, 1), NIN_KEYSELECT, true, {120, 700}},
        {TRUE, MAKEWPARAM(-5, 30), MAKELPARAM(WM_CONTEXTMENU, 1), WM_CONTEXTMENU, true, {-5, 30}},
        {TRUE, MAKEWPARAM(1, 1), MAKELPARAM(NIN_SELECT, 2), NIN_SELECT, false, {1, 1}},
        {TRUE, 1, WM_LBUTTONUP, WM_LBUTTONUP, false, {1, 0}}, // the old layout means another icon now
        {FALSE, 1, WM_LBUTTONUP, NIN_SELECT, true, {-1, 0}},
        {FALSE, 1, WM_LBUTTONDBLCLK, WM_LBUTTONDBLCLK, true, {-1, 0}},
        {FALSE, 2, WM_RBUTTONUP, WM_CONTEXTMENU, false, {-1, 0}},
    };
    for (const auto& c : cases) {
        shell.take_version = c.take_version;
        CNotifyIcon icon(CURRENT, &fake_notify);
        icon.set_window(window);
        const RTrayEvent event = icon.read_callback(c.wparam, c.lparam);
        EXPECT_EQ(event.event, c.event) << c.lparam;
        EXPECT_EQ(event.ours, c.ours) << c.lparam;
        if (c.anchor.x != -1) {
            EXPECT_EQ(event.anchor.x, c.anchor.x) << c.lparam;
            EXPECT_EQ(event.anchor.y, c.anchor.y) << c.lparam;
        }
    }
}

TEST_F(Tray, RemoveDeletesOnlyAShownIcon) {
    {
        CNotifyIcon never(CURRENT, &fake_notify);
        never.remove();
    } // and the destructor removes again
    EXPECT_TRUE(shell.calls.empty());

    CNotifyIcon icon(CURRENT, &fake_notify);
    icon.set_window(window);
    icon.set_icon(application_icon());
    icon.remove();
    EXPECT_FALSE(icon.shown());
    EXPECT_EQ(messages(), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_DELETE}));
    EXPECT_EQ(shell.calls.back().data.hIcon, nullptr);
    icon.remove();
    EXPECT_EQ(shell.calls.size(), 3u);

    // Binding the icon to a window removes it first.
    icon.set_window(window);
    icon.set_window(window);
    EXPECT_EQ(messages(),
              (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_ADD, NIM_DELETE, NIM_ADD}));
}

TEST_F(Tray, TaskbarRestartAddsTheShownIconAgain) {
    const UINT taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
    ASSERT_NE(taskbar_created, 0u);
    {
        // Started before the taskbar: the first add fails, the taskbar's arrival adds it.
        CNotifyIcon early(CURRENT, &fake_notify);
        shell.refuse = 1;
        EXPECT_FALSE(early.set_window(window));
        EXPECT_TRUE(early.on_message(taskbar_created));
        EXPECT_TRUE(early.shown());
        EXPECT_EQ(messages(), (std::vector<DWORD>{NIM_ADD, NIM_ADD}));
        early.remove();
        shell.calls.clear();
        EXPECT_TRUE(early.on_message(taskbar_created));
        EXPECT_TRUE(shell.calls.empty()) << "a removed icon stays removed";
    }
    CNotifyIcon icon(CURRENT, &fake_notify);
    EXPECT_TRUE(icon.on_message(taskbar_created));
    EXPECT_TRUE(shell.calls.empty())
        << "an icon never bound to a window is not added behind the program's back";

    icon.set_window(window);
    icon.set_tip(L"Pelikant");
    icon.set_icon(application_icon());
    EXPECT_FALSE(icon.on_message(WM_USER + 123));
    EXPECT_FALSE(icon.on_message(0));
    ASSERT_TRUE(icon.on_message(taskbar_created));
    ASSERT_EQ(shell.calls.size(), 4u);
    EXPECT_EQ(shell.calls[3].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(std::memcmp(&shell.calls[3].data, &shell.calls[2].data, sizeof(NOTIFYICONDATAW)), 0)
        << "the whole record again";
    EXPECT_EQ(shell.versions.size(), 3u) << "version 4 after each of the three adds that went through";
    EXPECT_TRUE(icon.update());
    EXPECT_EQ(shell.calls.back().message, static_cast<DWORD>(NIM_MODIFY));

    // A shell that still holds the icon refuses the add and takes a modify; one that takes
    // neither gets an add again from the next operation.
    shell.calls.clear();
    shell.refuse = 1;
    EXPECT_TRUE(icon.on_message(taskbar_created));
    EXPECT_TRUE(icon.shown());
    shell.refuse = 2;
    EXPECT_TRUE(icon.on_message(taskbar_created));
    EXPECT_FALSE(icon.shown());
    EXPECT_TRUE(icon.update());
    EXPECT_EQ(messages(), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_ADD, NIM_MODIFY, NIM_ADD}));
}
