// Real windows on a real GUI thread: each test registers a window with the window manager,
// drives it with messages from the test thread and closes it the way the program does.
#include <atomic>
#include <cstdio>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "gui_window.h"
#include "process_counts.h"
#include "wapi/manager.h"
#include "wapi/window.h"

using namespace wapi;

namespace {

const wchar_t* const RECORDING_CLASS = L"PelikantRecordingControl";

// What the objects saw; outlives them, since the GUI thread deletes the window.
struct RLog {
    std::vector<std::string> events;
    HWND command_control = reinterpret_cast<HWND>(-1);
    WPARAM command_wparam = 0;
    WORD command_code = 0;
    size_t children_at_destroy = 99;
    HWND handle_at_destroy = nullptr;
    RKey last_key;
    int controls_deleted = 0;
    std::atomic<int> windows_deleted{0};
    std::vector<bool> proc_restored_at_destroy;
    std::vector<bool> unlinked_at_destroy;
    void add(const std::string& e) { events.push_back(e); }
    bool saw(const std::string& e) const {
        for (const auto& x : events) {
            if (x == e) {
                return true;
            }
        }
        return false;
    }
};

RLog* g_log = nullptr; // the recording window procedure has no object to reach

LRESULT CALLBACK recording_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (g_log != nullptr) {
        if (message == WM_KEYDOWN) {
            g_log->add("proc key " + std::to_string(wparam));
        } else if (message == WM_DESTROY) {
            g_log->proc_restored_at_destroy.push_back(GetWindowLongPtrW(hwnd, GWLP_WNDPROC) ==
                                                      reinterpret_cast<LONG_PTR>(&recording_proc));
            g_log->unlinked_at_destroy.push_back(GetWindowLongPtrW(hwnd, GWLP_USERDATA) == 0);
        }
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

void register_recording_class() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &recording_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = RECORDING_CLASS;
    RegisterClassExW(&wc); // fails harmlessly when already registered
}

class CRecordingControl : public CWindowBase {
public:
    CRecordingControl(RLog* log, const char* name) : log_(log), name_(name) {
        class_name = RECORDING_CLASS;
        style = WS_CHILD | WS_VISIBLE;
    }
    ~CRecordingControl() override { log_->controls_deleted++; }
    bool on_key_down(const RKey& key) override {
        log_->add(name_ + " on_key_down " + std::to_string(key.key));
        return key.key == 'C'; // the control's own refusal lets a key through
    }
    bool on_destroy() override {
        log_->add(name_ + " on_destroy");
        return false;
    }

    // Handlers installed on other controls.
    bool swallow_a(CWindowBase* control, const RKey& key) {
        log_->add("key_handler " + std::to_string(key.key) + (control == this ? " self" : " other"));
        log_->last_key = key;
        return key.key == 'A';
    }
    bool command_true(CWindowBase* control, HWND, WPARAM, WORD code) {
        log_->add("command_handler true " + std::to_string(code) + (control == this ? " self" : " other"));
        return true;
    }
    bool command_false(CWindowBase*, HWND, WPARAM, WORD) {
        log_->add("command_handler false");
        return false;
    }

private:
    RLog* log_;
    std::string name_;
};

class CTestWindow : public test::CGuiWindow {
public:
    static const WORD OUT_OF_MEMORY = 6666; // a command whose handler throws

    explicit CTestWindow(RLog* log) : CGuiWindow(L"PelikantTestWindow"), log_(log) {}
    ~CTestWindow() override { log_->windows_deleted++; }

    bool on_command(HWND control, WPARAM wparam, WORD code) override {
        if (LOWORD(wparam) == OUT_OF_MEMORY) {
            throw std::bad_alloc();
        }
        log_->add("on_command");
        log_->command_control = control;
        log_->command_wparam = wparam;
        log_->command_code = code;
        return true;
    }
    bool on_destroy() override {
        log_->children_at_destroy = child_count();
        log_->handle_at_destroy = handle;
        log_->add("window on_destroy");
        return false;
    }
    // Takes each new child's handle for a control of its own before add_control can register it.
    bool on_message(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message == WM_PARENTNOTIFY && LOWORD(wparam) == WM_CREATE && squatter != nullptr) {
            add_child(reinterpret_cast<HWND>(lparam), squatter);
            squatter = nullptr;
        }
        return CGuiWindow::on_message(message, wparam, lparam);
    }
    CWindowBase* squatter = nullptr;

private:
    RLog* log_;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_log = &log;
        register_recording_class();
        window = new CTestWindow(&log);
        CWindowManager::instance().register_window(window);
        ASSERT_EQ(log.windows_deleted, 0);
        ASSERT_NE(window->handle, nullptr);
        hwnd = window->handle;
    }
    void TearDown() override {
        if (log.windows_deleted == 0) {
            window->close_window();
        }
        CWindowManager::instance().wait_for_windows();
        g_log = nullptr;
    }
    CRecordingControl* add(const char* name, RRect r) {
        CRecordingControl* control = new CRecordingControl(&log, name);
        control->rect = r;
        bool ok = false;
        window->run([&] { ok = CWindowBase::add_control(control, window); });
        return ok ? control : nullptr;
    }

    RLog log;
    CTestWindow* window = nullptr;
    HWND hwnd = nullptr;
};

} // namespace

// A command goes to the handler of the control that sent it; the window's on_command gets it
// when the handler refuses it or there is none: from a menu, or from a window that is not one of
// our controls (and may carry anything in its user data).
TEST_F(WindowTest, CommandsReachTheControlsHandlerOrOnCommand) {
    CRecordingControl* taker = add("taker", RRect{0, 0, 49, 19});
    CRecordingControl* refuser = add("refuser", RRect{0, 30, 49, 49});
    ASSERT_NE(taker, nullptr);
    ASSERT_NE(refuser, nullptr);
    taker->command_handler.bind<CRecordingControl, &CRecordingControl::command_true>(taker);
    refuser->command_handler.bind<CRecordingControl, &CRecordingControl::command_false>(refuser);
    HWND stranger = nullptr;
    window->run([&] {
        stranger = CreateWindowExW(0, RECORDING_CLASS, L"", WS_CHILD, 0, 0, 10, 10, hwnd, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrW(stranger, GWLP_USERDATA, 0x12345678);
    });
    ASSERT_NE(stranger, nullptr);
    const std::string change = std::to_string(EN_CHANGE);
    const struct {
        const char* name;
        HWND from;
        WPARAM wparam;
        std::vector<std::string> events;
    } cases[] = {
        // A handler that throws loses its message, not the process.
        {"menu, out of memory", nullptr, MAKEWPARAM(CTestWindow::OUT_OF_MEMORY, 0), {}},
        {"menu", nullptr, MAKEWPARAM(6002, 0), {"on_command"}},
        {"taker", taker->handle, MAKEWPARAM(1, EN_CHANGE), {"command_handler true " + change + " self"}},
        {"refuser", refuser->handle, MAKEWPARAM(2, EN_CHANGE), {"command_handler false", "on_command"}},
        {"stranger", stranger, MAKEWPARAM(3, 0), {"on_command"}},
    };
    for (const auto& c : cases) {
        log.events.clear();
        EXPECT_EQ(SendMessageW(hwnd, WM_COMMAND, c.wparam, reinterpret_cast<LPARAM>(c.from)), 0) << c.name;
        EXPECT_EQ(log.events, c.events) << c.name;
        if (log.saw("on_command")) {
            EXPECT_EQ(log.command_control, c.from) << c.name;
            EXPECT_EQ(log.command_wparam, c.wparam) << c.name;
            EXPECT_EQ(log.command_code, HIWORD(c.wparam)) << c.name;
        }
    }
}

TEST_F(WindowTest, KeyHandlerSwallowsOrPassesKeys) {
    CRecordingControl* box = add("box", RRect{0, 0, 99, 23});
    ASSERT_NE(box, nullptr);
    box->key_handler.bind<CRecordingControl, &CRecordingControl::swallow_a>(box);

    SendMessageA(box->handle, WM_KEYDOWN, 'A', 1);
    EXPECT_TRUE(log.saw("key_handler 65 self"));
    EXPECT_FALSE(log.saw("box on_key_down 65"));
    EXPECT_FALSE(log.saw("proc key 65")) << "a swallowed key must not reach the control's procedure";

    SendMessageA(box->handle, WM_KEYDOWN, 'B', 1);
    EXPECT_TRUE(log.saw("key_handler 66 self"));
    EXPECT_TRUE(log.saw("box on_key_down 66"));
    EXPECT_TRUE(log.saw("proc key 66"));

    // The control's own on_key_down may also swallow.
    SendMessageA(box->handle, WM_KEYDOWN, 'C', 1);
    EXPECT_TRUE(log.saw("box on_key_down 67"));
    EXPECT_FALSE(log.saw("proc key 67"));

    // The key data: the repeat count is the low word, bit 30 an auto-repeat, bits 16 to 23 the
    // scan code (Enter's is 0x1C), bit 24 an extended key.
    const struct {
        LPARAM data;
        UINT repeat;
        bool repeated, extended;
    } keys[] = {{0x001C0001, 1, false, false}, {0x401C0003, 3, true, false}, {0x011C0001, 1, false, true}};
    for (const auto& k : keys) {
        SendMessageA(box->handle, WM_KEYDOWN, VK_RETURN, k.data);
        EXPECT_EQ(log.last_key.key, static_cast<UINT>(VK_RETURN));
        EXPECT_EQ(log.last_key.repeat, k.repeat) << std::hex << k.data;
        EXPECT_EQ(log.last_key.repeated, k.repeated) << std::hex << k.data;
        EXPECT_EQ(log.last_key.extended, k.extended) << std::hex << k.data;
    }
}

TEST_F(WindowTest, KeyWithoutHandlerReachesOnKeyDownThenProcedure) {
    CRecordingControl* list = add("list", RRect{0, 0, 99, 99});
    ASSERT_NE(list, nullptr);
    SendMessageA(list->handle, WM_KEYDOWN, VK_DOWN, 1);
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[0], "list on_key_down " + std::to_string(VK_DOWN));
    EXPECT_EQ(log.events[1], "proc key " + std::to_string(VK_DOWN));
}

TEST_F(WindowTest, SetSizeKeepsPositionWithInclusiveEdges) {
    window->run([&] {
        window->set_position(RPoint{10, 10});
        window->set_size(RSize{615, 370});
    });
    EXPECT_EQ(window->rect, (RRect{10, 10, 624, 379}));
    RRect seen;
    window->run([&] { seen = window->window_rect(); });
    EXPECT_EQ(seen.width(), 615);
    EXPECT_EQ(seen.height(), 370);
}

TEST(Geometry, RectConversionsAreInclusive) {
    const RRect r{10, 10, 209, 109};
    EXPECT_EQ(r.width(), 200);
    EXPECT_EQ(r.height(), 100);
    EXPECT_EQ(RRect::from_system(r.to_system()), r);
    EXPECT_EQ((RRect{5, 5, 3, 2}).width(), 0) << "a negative extent counts as empty";
    EXPECT_EQ((RRect{5, 5, 3, 2}).height(), 0);

    CWindowBase object; // no window: setters only store
    object.set_size(RSize{615, 370});
    EXPECT_EQ(object.rect, (RRect{10, 10, 624, 379}));
    object.set_position(RPoint{0, 130});
    EXPECT_EQ(object.rect, (RRect{0, 130, 614, 499}));
    RRect unused;
    EXPECT_FALSE(object.rect_in_parent(unused));
}

TEST_F(WindowTest, DockAndAttachCopyTheSpecifiedEdges) {
    window->run([&] { window->set_rect(RRect{10, 10, 624, 379}); });
    RRect client;
    window->run([&] { client = window->client_rect(); });
    ASSERT_GT(client.right, 300);
    ASSERT_GT(client.bottom, 250);

    CRecordingControl* top = add("top", RRect{20, 0, 119, 109});
    CRecordingControl* box = add("box", RRect{0, 130, 299, 153});
    CRecordingControl* list = add("list", RRect{0, 180, 199, 279});
    CRecordingControl* bar = add("bar", RRect{0, client.bottom - 21, client.right, client.bottom});
    ASSERT_TRUE(top && box && list && bar);

    RRect got;
    window->run([&] {
        dock(top, window, EDGE_TOP | EDGE_LEFT | EDGE_RIGHT);
        top->rect_in_parent(got);
    });
    EXPECT_EQ(got, (RRect{client.left, client.top, client.right, 109}));

    window->run([&] {
        dock(box, window, EDGE_LEFT | EDGE_RIGHT);
        box->rect_in_parent(got);
    });
    EXPECT_EQ(got, (RRect{client.left, 130, client.right, 153}));

    window->run([&] {
        attach(list, box, EDGE_TOP);
        attach(list, bar, EDGE_BOTTOM);
        dock(list, window, EDGE_LEFT | EDGE_RIGHT);
        list->rect_in_parent(got);
    });
    EXPECT_EQ(got, (RRect{client.left, 154, client.right, client.bottom - 22}));

    window->run([&] {
        attach(top, list, EDGE_LEFT);
        top->rect_in_parent(got);
    });
    EXPECT_EQ(got.left, client.right + 1);

    CRecordingControl* right = add("right", RRect{400, 180, 449, 199});
    ASSERT_NE(right, nullptr);
    window->run([&] {
        attach(list, right, EDGE_RIGHT);
        list->rect_in_parent(got);
    });
    EXPECT_EQ(got.right, 399);

    window->run([&] {
        dock(bar, window, EDGE_BOTTOM);
        bar->rect_in_parent(got);
    });
    EXPECT_EQ(got.bottom, client.bottom);
}

TEST_F(WindowTest, DestroyDetachesDestroysAndDeletesEveryControl) {
    ASSERT_NE(add("a", RRect{0, 0, 9, 9}), nullptr);
    ASSERT_NE(add("b", RRect{0, 20, 9, 29}), nullptr);
    ASSERT_NE(add("c", RRect{0, 40, 9, 49}), nullptr);
    EXPECT_EQ(window->child_count(), 3u);

    window->close_window();
    CWindowManager::instance().wait_for_windows();

    EXPECT_EQ(log.children_at_destroy, 3u) << "the window's on_destroy runs while its controls exist";
    EXPECT_EQ(log.controls_deleted, 3);
    EXPECT_EQ(log.windows_deleted, 1);
    ASSERT_EQ(log.proc_restored_at_destroy.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(log.proc_restored_at_destroy[i]) << i;
        EXPECT_TRUE(log.unlinked_at_destroy[i]) << i;
    }
    EXPECT_TRUE(log.saw("a on_destroy") && log.saw("b on_destroy") && log.saw("c on_destroy"));
    EXPECT_FALSE(IsWindow(hwnd)) << "the system window must not outlive its thread's loop";
}

TEST_F(WindowTest, AddControlFailuresDeleteTheControl) {
    CRecordingControl* orphan = new CRecordingControl(&log, "orphan");
    CWindowBase no_window;
    EXPECT_FALSE(CWindowBase::add_control(orphan, &no_window));
    EXPECT_EQ(log.controls_deleted, 1);

    CRecordingControl* bad = new CRecordingControl(&log, "bad");
    bad->class_name = L"NoSuchWindowClassAnywhere";
    bool ok = true;
    window->run([&] { ok = CWindowBase::add_control(bad, window); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(log.controls_deleted, 2);
    EXPECT_FALSE(CWindowBase::add_control(nullptr, window));

    // A handle the registry holds already keeps its first control: the new one is deleted, and
    // add_control must say so, or its caller keeps a freed pointer.
    window->squatter = new CRecordingControl(&log, "squatter");
    CRecordingControl* late = new CRecordingControl(&log, "late");
    window->run([&] { ok = CWindowBase::add_control(late, window); });
    EXPECT_FALSE(ok) << "the control was deleted, yet reported added";
    EXPECT_EQ(log.controls_deleted, 3);
}

TEST_F(WindowTest, ClosedWindowCanBeRegisteredAgain) {
    window->close_window();
    CWindowManager::instance().wait_for_windows();
    ASSERT_EQ(log.windows_deleted, 1);

    RLog second_log;
    CTestWindow* second = new CTestWindow(&second_log);
    CWindowManager::instance().register_window(second);
    ASSERT_EQ(second_log.windows_deleted, 0) << "the class must have been unregistered";
    // Closed on its own thread inside a message sent from elsewhere, as another program's exit
    // command arrives: the loop must still see that the window is gone.
    second->run([second] { second->close_window(); });
    for (int i = 0; i < 250 && second_log.windows_deleted == 0; ++i) {
        Sleep(20);
    }
    ASSERT_EQ(second_log.windows_deleted, 1) << "the loop slept on after its window was destroyed";
    CWindowManager::instance().wait_for_windows();

    // A loop ended from another thread: the system window is destroyed by its own thread while
    // its object lives, so that the window's own WM_DESTROY work is done with its handle intact;
    // a hook on the window's thread sees that WM_DESTROY.
    RLog third_log;
    CTestWindow* third = new CTestWindow(&third_log);
    CWindowManager::instance().register_window(third);
    ASSERT_EQ(third_log.windows_deleted, 0);
    static HWND watched = nullptr;
    static LONG_PTR linked_at_destroy = -1;
    static RLog* watched_log = nullptr;
    static int deleted_at_destroy = -1;
    watched = third->handle;
    watched_log = &third_log;
    HHOOK hook = SetWindowsHookExW(
        WH_CALLWNDPROC,
        [](int code, WPARAM wparam, LPARAM lparam) -> LRESULT {
            const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
            if (code == HC_ACTION && sent->hwnd == watched && sent->message == WM_DESTROY) {
                linked_at_destroy = GetWindowLongPtrW(sent->hwnd, GWLP_USERDATA);
                deleted_at_destroy = watched_log->windows_deleted;
            }
            return CallNextHookEx(nullptr, code, wparam, lparam);
        },
        nullptr, third->thread_id);
    ASSERT_NE(hook, nullptr);
    third->run([] {}); // the thread learns of its hook with its next message
    CWindowManager::instance().unregister_window(third);
    CWindowManager::instance().wait_for_windows();
    UnhookWindowsHookEx(hook);
    ASSERT_EQ(third_log.windows_deleted, 1);
    EXPECT_TRUE(linked_at_destroy == 0 || deleted_at_destroy == 0)
        << "the window was destroyed still linked to its deleted object";
    EXPECT_TRUE(third_log.saw("window on_destroy")) << "the window's own WM_DESTROY work was skipped";
    EXPECT_EQ(third_log.handle_at_destroy, watched) << "another thread took the window's handle from it";
}

namespace {

class CFailingWindow : public CWindow {
public:
    explicit CFailingWindow(int* deleted) : CWindow(GetModuleHandleA(nullptr)), deleted_(deleted) {
        class_name = L"PelikantFailingWindow";
    }
    ~CFailingWindow() override { ++*deleted_; }
    // Refusing WM_NCCREATE makes CreateWindowExW fail.
    bool on_message(UINT message, WPARAM, LPARAM) override { return message == WM_NCCREATE; }

private:
    int* deleted_;
};

} // namespace

TEST(WindowManager, FailedCreationDeletesWindowAndLeavesNothingToWaitFor) {
    int deleted = 0;
    CWindowManager::instance().register_window(new CFailingWindow(&deleted));
    EXPECT_EQ(deleted, 1);
    CWindowManager::instance().wait_for_windows(); // returns at once

    CFailingWindow* unnamed = new CFailingWindow(&deleted);
    unnamed->class_name.clear(); // RegisterClassExA refuses an empty name
    CWindowManager::instance().register_window(unnamed);
    EXPECT_EQ(deleted, 2);
    CWindowManager::instance().wait_for_windows();
}

TEST(WindowManager, FailedCreationsLeaveNoThreadOrHandleBehind) {
    int deleted = 0;
    CWindowManager::instance().register_window(new CFailingWindow(&deleted)); // warm-up
    const int threads_before = thread_count();
    const DWORD handles_before = handle_count();
    for (int i = 0; i < 200; ++i) {
        CWindowManager::instance().register_window(new CFailingWindow(&deleted));
    }
    EXPECT_EQ(deleted, 201);
    CWindowManager::instance().wait_for_windows();
    int threads_after = 0;
    DWORD handles_after = 0;
    EXPECT_TRUE(counts_settle(threads_before, handles_before, 2, &threads_after, &handles_after))
        << "threads " << threads_before << " -> " << threads_after << ", handles " << handles_before << " -> "
        << handles_after;
}

TEST(WindowManager, UnbornWindowRefusesToPost) {
    RLog log;
    CTestWindow* unborn = new CTestWindow(&log);
    EXPECT_FALSE(unborn->post(WM_USER));
    EXPECT_FALSE(unborn->close_window());
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "nothing may land in the caller's queue";
    delete unborn;
}

namespace {

// Registers a second window while its own creation is still under way.
class CNestingWindow : public CTestWindow {
public:
    CNestingWindow(RLog* log, RLog* inner_log) : CTestWindow(log), inner_log_(inner_log) {
        class_name = L"PelikantNestingWindow";
    }
    bool on_create(CREATESTRUCTW*) override {
        inner = new CTestWindow(inner_log_);
        CWindowManager::instance().register_window(inner);
        return false;
    }
    CTestWindow* inner = nullptr; // not owned: its own GUI thread deletes it

private:
    RLog* inner_log_;
};

} // namespace

TEST(WindowManager, WindowMayRegisterAnotherWhileBeingCreated) {
    RLog outer_log, inner_log;
    CNestingWindow* outer = new CNestingWindow(&outer_log, &inner_log);
    CWindowManager::instance().register_window(outer);
    ASSERT_EQ(outer_log.windows_deleted, 0);
    ASSERT_NE(outer->inner, nullptr);
    ASSERT_EQ(inner_log.windows_deleted, 0);
    outer->inner->close_window();
    outer->close_window();
    CWindowManager::instance().wait_for_windows();
    EXPECT_EQ(outer_log.windows_deleted, 1);
    EXPECT_EQ(inner_log.windows_deleted, 1);
}

TEST_F(WindowTest, LoopDispatchesMessagesOfTheThreadsOtherWindows) {
    HWND second = nullptr;
    window->run([&] {
        second = CreateWindowExW(0, RECORDING_CLASS, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    });
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(PostMessageA(second, WM_KEYDOWN, 'Q', 1));
    bool seen = false;
    for (int tries = 0; tries < 100 && !seen; ++tries) {
        Sleep(10);
        window->run([&] { seen = log.saw("proc key " + std::to_string('Q')); });
    }
    EXPECT_TRUE(seen) << "a message posted to the GUI thread's second top-level window was never dispatched";
    window->run([&] { DestroyWindow(second); });
}
