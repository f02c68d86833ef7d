#include "wapi/window.h"

#include "kernel/guard.h"
#include "wapi/manager.h"

namespace wapi {

namespace {

CWindowBase* object_of(HWND hwnd) {
    return reinterpret_cast<CWindowBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void set_object(HWND hwnd, CWindowBase* object) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
}

} // namespace

RKey RKey::read(WPARAM wparam, LPARAM key_data) {
    RKey key;
    key.key = static_cast<UINT>(wparam);
    key.repeat = static_cast<UINT>(key_data & 0xFFFF);
    key.extended = ((key_data >> 24) & 1) != 0;
    key.repeated = ((key_data >> 30) & 1) != 0;
    return key;
}

// ---------------------------------------------------------------------------------------------
// CWindowDelegate

CWindowDelegate::CWindowDelegate() = default;

CWindowDelegate::~CWindowDelegate() {
    destroy_children();
}

bool CWindowDelegate::delegate_message(CWindowBase* control, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT:
        return control->paint_handler.present() && control->paint_handler(control);
    case WM_NOTIFY:
        if (control->notify_handler.present() && control->notify_handler(control, wparam, lparam)) {
            return true;
        }
        return control->on_notify(wparam, reinterpret_cast<NMHDR*>(lparam));
    case WM_KEYDOWN: {
        const RKey key = RKey::read(wparam, lparam);
        if (control->key_handler.present() && control->key_handler(control, key)) {
            return true;
        }
        return control->on_key_down(key);
    }
    case WM_CHAR:
        return control->on_char(wparam);
    default:
        return false;
    }
}

bool CWindowDelegate::add_child(HWND handle, CWindowBase* control) {
    std::unique_ptr<CWindowBase> owned(control);
    if (children_.count(handle) != 0) {
        return false; // the handle keeps its first control; this one is deleted
    }
    children_.emplace(handle, std::move(owned));
    return true;
}

CWindowBase* CWindowDelegate::find_child(HWND handle) const {
    auto it = children_.find(handle);
    return it == children_.end() ? nullptr : it->second.get();
}

void CWindowDelegate::remove_child(HWND handle) {
    auto it = children_.find(handle);
    if (it == children_.end()) {
        return;
    }
    CWindowBase* control = it->second.get();
    if (control->previous_proc != nullptr) {
        SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control->previous_proc));
        control->previous_proc = nullptr;
    }
    set_object(handle, nullptr);
    control->on_destroy();
    DestroyWindow(handle);
    control->handle = nullptr;
    children_.erase(it);
}

void CWindowDelegate::destroy_children() {
    while (!children_.empty()) {
        remove_child(children_.begin()->first);
    }
    children_.clear();
}

// ---------------------------------------------------------------------------------------------
// CWindowBase

CWindowBase::CWindowBase() = default;
CWindowBase::~CWindowBase() = default;

bool CWindowBase::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        return on_create(reinterpret_cast<CREATESTRUCTW*>(lparam));
    case WM_DESTROY:
        return on_destroy();
    case WM_SIZE:
        return on_size(LOWORD(lparam), HIWORD(lparam), wparam);
    case WM_CLOSE:
        return on_close();
    case WM_NOTIFY:
        return on_notify(wparam, reinterpret_cast<NMHDR*>(lparam));
    case WM_KEYDOWN:
        return on_key_down(RKey::read(wparam, lparam));
    case WM_COMMAND: {
        HWND control_handle = reinterpret_cast<HWND>(lparam);
        // Only controls registered in this window are trusted with their user data: another
        // window's user data may hold anything.
        CWindowBase* control = control_handle != nullptr ? find_child(control_handle) : nullptr;
        const WORD code = HIWORD(wparam);
        if (control != nullptr && control->command_handler.present() &&
            control->command_handler(control, control_handle, wparam, code)) {
            return true;
        }
        return on_command(control_handle, wparam, code);
    }
    case WM_TIMER:
        return on_timer(wparam, lparam);
    default:
        return on_message(message, wparam, lparam);
    }
}

bool CWindowBase::on_size(int, int, WPARAM) {
    return false;
}
bool CWindowBase::on_create(CREATESTRUCTW*) {
    return false;
}
bool CWindowBase::on_close() {
    return false;
}
bool CWindowBase::on_timer(WPARAM, LPARAM) {
    return false;
}
bool CWindowBase::on_destroy() {
    return false;
}
bool CWindowBase::on_command(HWND, WPARAM, WORD) {
    return false;
}
bool CWindowBase::on_notify(WPARAM, NMHDR*) {
    return false;
}
bool CWindowBase::on_message(UINT, WPARAM, LPARAM) {
    return false;
}
bool CWindowBase::on_key_down(const RKey&) {
    return false;
}
bool CWindowBase::on_char(WPARAM) {
    return false;
}

void CWindowBase::set_style(DWORD new_style) {
    style = new_style;
    if (handle != nullptr) {
        SetWindowLongPtrW(handle, GWL_STYLE, static_cast<LONG_PTR>(new_style));
        InvalidateRect(handle, nullptr, FALSE);
    }
}

void CWindowBase::set_ex_style(DWORD new_ex_style) {
    ex_style = new_ex_style;
    if (handle != nullptr) {
        SetWindowLongPtrW(handle, GWL_EXSTYLE, static_cast<LONG_PTR>(new_ex_style));
        SetWindowPos(handle, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

const std::wstring& CWindowBase::get_text() {
    if (handle == nullptr) {
        return text;
    }
    const int length = GetWindowTextLengthW(handle);
    std::wstring buffer(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int got = GetWindowTextW(handle, &buffer[0], static_cast<int>(buffer.size()));
    buffer.resize(got > 0 ? static_cast<size_t>(got) : 0);
    text.swap(buffer);
    return text;
}

void CWindowBase::set_text(const std::wstring& new_text) {
    text = new_text;
    if (handle != nullptr) {
        SetWindowTextW(handle, text.c_str());
    }
}

// A null handle would post to the calling thread, where no loop of ours collects it.
bool CWindowBase::post(UINT message) const {
    return handle != nullptr && PostMessageW(handle, message, 0, 0) != 0;
}

void CWindowBase::set_font(HFONT font) {
    if (handle != nullptr) {
        SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
}

void CWindowBase::set_rect(const RRect& r) {
    rect = r;
    if (handle != nullptr) {
        SetWindowPos(handle, nullptr, r.left, r.top, r.width(), r.height(), SWP_NOZORDER);
    }
}

void CWindowBase::set_position(const RPoint& p) {
    rect.right += p.x - rect.left;
    rect.bottom += p.y - rect.top;
    rect.left = p.x;
    rect.top = p.y;
    if (handle != nullptr) {
        SetWindowPos(handle, nullptr, p.x, p.y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    }
}

void CWindowBase::set_size(const RSize& s) {
    rect.right = rect.left + s.width - 1;
    rect.bottom = rect.top + s.height - 1;
    if (handle != nullptr) {
        SetWindowPos(handle, nullptr, 0, 0, s.width < 1 ? 0 : s.width, s.height < 1 ? 0 : s.height,
                     SWP_NOZORDER | SWP_NOMOVE);
    }
}

RRect CWindowBase::window_rect() const {
    RECT r;
    if (handle == nullptr || !GetWindowRect(handle, &r)) {
        return rect;
    }
    return RRect::from_system(r);
}

RRect CWindowBase::client_rect() const {
    RECT r{0, 0, 0, 0};
    if (handle != nullptr) {
        GetClientRect(handle, &r);
    }
    return RRect::from_system(r);
}

bool CWindowBase::rect_in_parent(RRect& out) const {
    const CWindowBase* owner = static_cast<const CWindowBase*>(parent);
    if (handle == nullptr || owner == nullptr || owner->handle == nullptr) {
        return false;
    }
    RECT r;
    if (!GetWindowRect(handle, &r)) {
        return false;
    }
    POINT corners[2] = {{r.left, r.top}, {r.right - 1, r.bottom - 1}};
    MapWindowPoints(nullptr, owner->handle, corners, 2);
    out = RRect{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    return true;
}

bool CWindowBase::add_control(CWindowBase* control, CWindowBase* parent) {
    if (control == nullptr) {
        return false;
    }
    if (parent == nullptr || parent->handle == nullptr) {
        delete control;
        return false;
    }
    if (control->handle != nullptr) {
        return true;
    }
    control->module_instance = parent->module_instance;
    HWND hwnd =
        CreateWindowExW(control->ex_style, control->class_name.c_str(), control->text.c_str(), control->style,
                        control->rect.left, control->rect.top, control->rect.width(), control->rect.height(),
                        parent->handle, nullptr, control->module_instance, parent);
    if (hwnd == nullptr) {
        delete control;
        return false;
    }
    // Registered before it is linked and subclassed: a handle the registry refuses must not be
    // left subclassed to the deleted control.
    control->handle = hwnd;
    control->parent = parent;
    if (!parent->add_child(hwnd, control)) {
        DestroyWindow(hwnd);
        return false;
    }
    set_object(hwnd, control);
    control->previous_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&control_proc)));
    return true;
}

// ---------------------------------------------------------------------------------------------
// CWindow

CWindow::CWindow(HINSTANCE instance) {
    module_instance = instance;
    class_name = L"Pelikant";
    text = L"Tytuł aplikacji";
    style = WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
}

CWindow::~CWindow() = default;

bool CWindow::pre_translate(const MSG&) {
    return false;
}

HICON CWindow::get_icon() {
    return LoadIconW(nullptr, IDI_APPLICATION);
}

namespace {

// Hidden first, so that the window is gone from the screen at once while WM_DESTROY still stops
// whatever the window runs.
void hide_and_destroy(HWND hwnd) {
    ShowWindow(hwnd, SW_HIDE);
    DestroyWindow(hwnd);
}

} // namespace

bool CWindow::close_window() {
    const HWND hwnd = system_window;
    if (hwnd == nullptr) {
        return false;
    }
    if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
        hide_and_destroy(hwnd);
        return true;
    }
    return PostMessageW(hwnd, WM_CLOSE_WINDOW, 0, 0) != 0;
}

// ---------------------------------------------------------------------------------------------
// Window procedures

namespace {

LRESULT dispatch(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    CWindowBase* object = nullptr;
    if (message == WM_NCCREATE) {
        object = static_cast<CWindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        if (object != nullptr) {
            object->handle = hwnd;
        }
        set_object(hwnd, object);
    } else {
        object = object_of(hwnd);
    }
    if (object == nullptr) {
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    if (message == WM_CLOSE_WINDOW) {
        hide_and_destroy(hwnd);
        return 0;
    }
    if (message == WM_DESTROY) {
        // The window's own handler first, while its controls still exist: it drops what it
        // holds of them before they are deleted.
        const bool handled = object->handle_message(message, wparam, lparam);
        object->destroy_children();
        return handled ? 0 : DefWindowProcW(hwnd, message, wparam, lparam);
    }
    if (message == WM_NCDESTROY) {
        // The object is deleted once its loop ends; unlink it now so that no later message can
        // reach it.
        set_object(hwnd, nullptr);
        CWindow* top = dynamic_cast<CWindow*>(object);
        if (top != nullptr) {
            top->system_window = nullptr;
        }
        object->handle = nullptr;
        if (top == nullptr || !top->creating) {
            // A failed creation is the registering thread's to clean up.
            CWindowManager::instance().unregister_window(object);
        }
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    object->take_result(); // none left from a message that reentered this one
    if (object->handle_message(message, wparam, lparam)) {
        return object->take_result();
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT dispatch_control(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    CWindowBase* control = object_of(hwnd);
    if (control == nullptr) {
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    control->take_result(); // none left from a message that reentered this one
    if (control->parent != nullptr && control->parent->delegate_message(control, message, wparam, lparam)) {
        return control->take_result();
    }
    return CallWindowProcW(control->previous_proc, hwnd, message, wparam, lparam);
}

} // namespace

// A message whose handler throws is dropped: the exception must not unwind into the system.
LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return kernel::guarded([&] { return dispatch(hwnd, message, wparam, lparam); }, LRESULT(0));
}

LRESULT CALLBACK control_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return kernel::guarded([&] { return dispatch_control(hwnd, message, wparam, lparam); }, LRESULT(0));
}

// ---------------------------------------------------------------------------------------------
// Layout

void dock(CWindowBase* control, CWindowBase* parent, int edges) {
    RRect r;
    if (control == nullptr || parent == nullptr || parent->handle == nullptr || !control->rect_in_parent(r)) {
        return;
    }
    const RRect p = parent->client_rect();
    if (edges & EDGE_TOP) {
        r.top = p.top;
    }
    if (edges & EDGE_RIGHT) {
        r.right = p.right;
    }
    if (edges & EDGE_BOTTOM) {
        r.bottom = p.bottom;
    }
    if (edges & EDGE_LEFT) {
        r.left = p.left;
    }
    control->set_rect(r);
}

void attach(CWindowBase* control, CWindowBase* sibling, int edges) {
    RRect s;
    RRect r;
    if (control == nullptr || sibling == nullptr || !sibling->rect_in_parent(s) ||
        !control->rect_in_parent(r)) {
        return;
    }
    if (edges & EDGE_TOP) {
        r.top = s.bottom + 1;
    }
    if (edges & EDGE_BOTTOM) {
        r.bottom = s.top - 1;
    }
    if (edges & EDGE_LEFT) {
        r.left = s.right + 1;
    }
    if (edges & EDGE_RIGHT) {
        r.right = s.left - 1;
    }
    control->set_rect(r);
}

} // namespace wapi
