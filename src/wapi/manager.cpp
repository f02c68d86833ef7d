#include "wapi/manager.h"

namespace wapi {

CWindowManager& CWindowManager::instance() {
    static CWindowManager manager;
    return manager;
}

CWindowManager::~CWindowManager() { wait_for_windows(); }

void CWindowManager::register_window(CWindow* window) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &window_proc;
    wc.hInstance = window->module_instance;
    wc.hIcon = window->get_icon();
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW));
    wc.lpszClassName = window->class_name.c_str();
    if (!RegisterClassExA(&wc)) {
        delete window;
        return;
    }
    boost::lock_guard<boost::mutex> guard(lock_);
    threads_.create_thread(CWindowThread(window));
    window->wait_for_startup();
    if (window->handle == nullptr) {
        UnregisterClassA(window->class_name.c_str(), window->module_instance);
        delete window;
        return;
    }
    windows_.insert(window);
}

void CWindowManager::wait_for_windows() {
    boost::unique_lock<boost::mutex> guard(lock_);
    while (!windows_.empty()) {
        no_windows_.wait(guard);
    }
    // Joining under the lock is safe: a GUI thread takes it only before leaving its loop.
    threads_.join_all();
}

void CWindowManager::unregister_window(CWindowBase* window) {
    boost::lock_guard<boost::mutex> guard(lock_);
    if (window == nullptr) {
        return;
    }
    windows_.erase(window);
    window->handle = nullptr;
    if (windows_.empty()) {
        no_windows_.notify_all();
    }
    // The class is unregistered by the window's thread once the system window is gone: while
    // it exists, as it still does here, UnregisterClassA can only fail.
    if (CWindow* top = dynamic_cast<CWindow*>(window)) {
        top->destroyed = true;
    }
}

void CWindowThread::operator()() {
    CWindow* window = window_;
    RRect r = window->rect;
    if (window->handle != nullptr) {
        RECT current;
        if (GetWindowRect(window->handle, &current)) {
            r = RRect::from_system(current);
        }
        window->style = static_cast<DWORD>(GetWindowLongPtrA(window->handle, GWL_STYLE));
    }
    window->creating = true;
    HWND hwnd = CreateWindowExA(0, window->class_name.c_str(), window->text.c_str(), window->style, r.left, r.top,
                                r.width(), r.height(), nullptr, nullptr, window->module_instance, window);
    window->creating = false;
    if (hwnd == nullptr) {
        window->handle = nullptr; // set during WM_NCCREATE even when creation then failed
    }
    window->wait_for_startup();
    if (hwnd == nullptr) {
        return; // the registering thread deletes the window
    }
    MSG msg;
    while (!window->destroyed) {
        window->idle();
        const BOOL got = window->blocking_loop ? GetMessageA(&msg, hwnd, 0, 0)
                                               : PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE);
        if (got == -1) {
            break; // the handle is gone; waiting on it again would spin
        }
        if (got != 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (!window->destroyed) {
        CWindowManager::instance().unregister_window(window);
    }
    const std::string class_name = window->class_name;
    const HINSTANCE instance = window->module_instance;
    delete window;
    // A posted destroy pair leaves the system window alive, and a class cannot be
    // unregistered while a window of it exists: destroy what is left (no object is linked to
    // it any more), then unregister, so the class can be registered again in this process.
    if (IsWindow(hwnd)) {
        DestroyWindow(hwnd);
    }
    UnregisterClassA(class_name.c_str(), instance);
}

} // namespace wapi
