#include "wapi/manager.h"

#include <objbase.h>

#include "kernel/guard.h"

namespace wapi {

CWindowManager& CWindowManager::instance() {
    static CWindowManager manager;
    return manager;
}

CWindowManager::~CWindowManager() {
    wait_for_windows();
}

void CWindowManager::register_window(CWindow* window) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &window_proc;
    wc.hInstance = window->module_instance;
    wc.hIcon = window->get_icon();
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // A system colour as a class brush is the colour index plus one.
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = window->class_name.c_str();
    if (!RegisterClassExW(&wc)) {
        delete window;
        return;
    }
    const std::shared_ptr<RStartup> startup = window->startup();
    boost::thread* thread = nullptr;
    {
        // In windows from the start: a window destroyed as soon as it exists is then taken
        // out by its own unregister_window, never left behind for wait_for_windows.
        boost::lock_guard<boost::mutex> guard(lock_);
        windows_.insert(window);
        try {
            threads_.emplace_back(new boost::thread(CWindowThread(window)));
            thread = threads_.back().get();
        } catch (const std::exception&) {
            windows_.erase(window);
        }
    }
    if (thread != nullptr) {
        startup->barrier.wait();
        if (startup->created) {
            return; // the window is its thread's now, and may already be gone
        }
        // Creation failed: the thread ends right after the barrier; join it now so a failed
        // window leaves no thread or handle behind.
        thread->join();
    }
    {
        boost::lock_guard<boost::mutex> guard(lock_);
        windows_.erase(window);
        threads_.remove_if([thread](const std::unique_ptr<boost::thread>& t) { return t.get() == thread; });
        if (windows_.empty()) {
            no_windows_.notify_all();
        }
    }
    const std::wstring class_name = window->class_name;
    const HINSTANCE instance = window->module_instance;
    delete window;
    UnregisterClassW(class_name.c_str(), instance);
}

void CWindowManager::wait_for_windows() {
    for (;;) {
        std::list<std::unique_ptr<boost::thread>> ended;
        {
            boost::unique_lock<boost::mutex> guard(lock_);
            while (!windows_.empty()) {
                no_windows_.wait(guard);
            }
            if (threads_.empty()) {
                return;
            }
            ended.swap(threads_);
        }
        // Joined without the lock: a GUI thread may still need it on its way out.
        for (auto& thread : ended) {
            thread->join();
        }
    }
}

void CWindowManager::unregister_window(CWindowBase* window) {
    if (window == nullptr) {
        return;
    }
    CWindow* top = dynamic_cast<CWindow*>(window);
    DWORD wake = 0;
    {
        // The handle is left alone: it is the window's GUI thread's, which clears it when the
        // system window goes.
        boost::lock_guard<boost::mutex> guard(lock_);
        windows_.erase(window);
        if (windows_.empty()) {
            no_windows_.notify_all();
        }
        // The class is unregistered by the window's thread once the system window is gone:
        // while it exists, as it still does here, UnregisterClassW can only fail.
        if (top != nullptr) {
            // Read before the flag is set: from then on the window's thread may delete it.
            wake = top->thread_id;
            top->destroyed = true;
        }
    }
    // The loop sees the flag only once GetMessage returns: asleep there (another thread called), or
    // handling a message sent from elsewhere (this thread called), it needs a posted message.
    if (wake != 0) {
        PostThreadMessageW(wake, WM_NULL, 0, 0);
    }
}

namespace {

// The shell, which opens the program's addresses on this thread, wants a single-threaded
// apartment there.
class CComApartment {
public:
    CComApartment()
        : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~CComApartment() {
        if (ok_) {
            CoUninitialize();
        }
    }
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;

private:
    bool ok_;
};

} // namespace

void CWindowThread::operator()() {
    CComApartment apartment;
    // Nothing may leave a thread's entry: the process would end with the tray icon left behind.
    // Whatever ends the loop, the window is still unregistered and deleted, or the first thread
    // would wait for it for ever.
    HWND hwnd = nullptr;
    bool started = false;
    if (!kernel::guarded([&] { hwnd = create(started); }) && !started) {
        // The registering thread waits at the barrier until this thread has been there.
        startup_->created = false;
        startup_->barrier.wait();
    }
    if (hwnd == nullptr) {
        return; // the registering thread deletes the window; it must not be touched now
    }
    kernel::guarded([&] { loop(); });
    kernel::guarded([&] { finish(hwnd); });
}

HWND CWindowThread::create(bool& started) {
    CWindow* window = window_;
    window->thread_id = GetCurrentThreadId();
    RRect r = window->rect;
    if (window->handle != nullptr) {
        RECT current;
        if (GetWindowRect(window->handle, &current)) {
            r = RRect::from_system(current);
        }
        window->style = static_cast<DWORD>(GetWindowLongPtrW(window->handle, GWL_STYLE));
    }
    window->creating = true;
    HWND hwnd =
        CreateWindowExW(0, window->class_name.c_str(), window->text.c_str(), window->style, r.left, r.top,
                        r.width(), r.height(), nullptr, nullptr, window->module_instance, window);
    window->creating = false;
    if (hwnd == nullptr) {
        window->handle = nullptr; // set during WM_NCCREATE even when creation then failed
    } else {
        window->system_window = hwnd;
    }
    startup_->created = hwnd != nullptr;
    started = true;
    startup_->barrier.wait();
    return hwnd;
}

void CWindowThread::loop() {
    // Every message of the thread, not only the main window's: tooltips, owned pop-ups and
    // thread messages live in other windows of this thread. The loop ends by the flag alone.
    CWindow* window = window_;
    MSG msg;
    while (!window->destroyed) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            break; // invalid arguments: waiting again would spin
        }
        if (got != 0 && !kernel::guarded([&] { return window->pre_translate(msg); }, false)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void CWindowThread::finish(HWND hwnd) {
    CWindow* window = window_;
    // A loop ended without WM_NCDESTROY (from another thread, by GetMessage failing or by an
    // exception) leaves the system window alive: it is destroyed here, still linked to its
    // object, so that the window's own WM_DESTROY work (hot key, timers, its controls) is done
    // as on any other way out; WM_NCDESTROY then unlinks it.
    if (IsWindow(hwnd)) {
        DestroyWindow(hwnd);
    }
    if (IsWindow(hwnd)) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); // refused to go: no message may reach the object
    }
    if (!window->destroyed) {
        CWindowManager::instance().unregister_window(window);
    }
    const std::wstring class_name = window->class_name;
    const HINSTANCE instance = window->module_instance;
    delete window;
    // A class cannot be unregistered while a window of it exists.
    UnregisterClassW(class_name.c_str(), instance);
}

} // namespace wapi
