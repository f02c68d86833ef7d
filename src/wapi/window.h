#pragma once
#include <atomic>
#include <map>
#include <memory>
#include <string>

#include <windows.h>

#include <boost/thread/barrier.hpp>

#include "wapi/geometry.h"
#include "wapi/handler.h"

namespace wapi {

class CWindowBase;

using CommandHandler = THandler<HWND, WPARAM, WORD>;
using PaintHandler = THandler<>;
using NotifyHandler = THandler<WPARAM, LPARAM>;

// A key as WM_KEYDOWN gives it: the repeat count is the low word of the key data, and bit 30
// says the key was down already (the keyboard's auto-repeat); bits 16 to 23 are the scan code.
struct RKey {
    UINT key = 0;
    UINT repeat = 1;
    bool extended = false;
    bool repeated = false;
    static RKey read(WPARAM wparam, LPARAM key_data);
};
using KeyHandler = THandler<const RKey&>;

LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK control_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// The toolkit's own message, at the top of the application range: another thread asks a
// window's GUI thread to destroy it (close_window).
const UINT WM_CLOSE_WINDOW = WM_APP + 0x3FFF;

// Root of every window object: the link to the parent, the subclassing state and the
// registry of child controls, plus the handlers other objects install on this control.
class CWindowDelegate {
public:
    CWindowDelegate();
    CWindowDelegate(const CWindowDelegate&) = delete;
    CWindowDelegate& operator=(const CWindowDelegate&) = delete;

    // Offers a subclassed control's message to its parent first; true swallows it.
    virtual bool delegate_message(CWindowBase* control, UINT message, WPARAM wparam, LPARAM lparam);
    virtual ~CWindowDelegate();

    CWindowDelegate* parent = nullptr; // not owned
    WNDPROC previous_proc = nullptr;

    CommandHandler command_handler;
    PaintHandler paint_handler;
    NotifyHandler notify_handler;
    KeyHandler key_handler;

    // Takes ownership of control; a handle already registered keeps its first control, and then
    // control is deleted and false returned.
    bool add_child(HWND handle, CWindowBase* control);
    // Restores the control's own window procedure, unlinks it, destroys its window and
    // deletes the object.
    void remove_child(HWND handle);
    void destroy_children();
    CWindowBase* find_child(HWND handle) const;
    size_t child_count() const { return children_.size(); }

private:
    std::map<HWND, std::unique_ptr<CWindowBase>> children_;
};

class CWindowBase : public CWindowDelegate {
public:
    CWindowBase();
    ~CWindowBase() override;

    virtual bool handle_message(UINT message, WPARAM wparam, LPARAM lparam);
    virtual bool on_size(int width, int height, WPARAM size_type);
    virtual bool on_create(CREATESTRUCTW* create);
    virtual bool on_close();
    virtual bool on_timer(WPARAM timer_id, LPARAM lparam);
    virtual bool on_destroy();
    virtual bool on_command(HWND control, WPARAM wparam, WORD code);
    virtual bool on_notify(WPARAM wparam, NMHDR* header);
    virtual bool on_message(UINT message, WPARAM wparam, LPARAM lparam);
    virtual bool on_key_down(const RKey& key);
    // A character (WM_CHAR) for a control; true swallows it.
    virtual bool on_char(WPARAM unit);
    virtual void set_style(DWORD style);
    // The frame is laid out again: a changed edge changes the client area.
    void set_ex_style(DWORD ex_style);

    // What the message being handled answers, where its answer means more than "handled" (a
    // custom draw's CDRF_* flags); 0 unless a handler that returns true sets it. A control's
    // handlers set it on the control.
    void set_result(LRESULT result) { result_ = result; }
    LRESULT take_result() {
        const LRESULT result = result_;
        result_ = 0;
        return result;
    }

    // Reads the window's text into text (when the window exists) and returns it.
    const std::wstring& get_text();
    void set_text(const std::wstring& text);
    bool post(UINT message) const;
    // WM_SETFONT; the font stays the caller's.
    void set_font(HFONT font);

    void set_rect(const RRect& r);
    void set_position(const RPoint& p);
    void set_size(const RSize& s);
    RRect window_rect() const;
    RRect client_rect() const;
    bool rect_in_parent(RRect& out) const;

    // Creates control as a child window of parent and subclasses it. On failure the control
    // is deleted and false returned, so callers drop their pointer to it.
    static bool add_control(CWindowBase* control, CWindowBase* parent);

    HWND handle = nullptr;
    HINSTANCE module_instance = nullptr;
    std::wstring class_name;
    std::wstring text;
    RRect rect{10, 10, 209, 109};
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD ex_style = 0;

private:
    LRESULT result_ = 0;
};

// The start-up hand-shake between the registering thread and the GUI thread.
struct RStartup {
    boost::barrier barrier{2};
    // Written by the GUI thread before the barrier, read by the registering thread after it:
    // by then the window itself may already be gone.
    bool created = false;
};

class CWindow : public CWindowBase {
public:
    explicit CWindow(HINSTANCE instance);
    ~CWindow() override;

    virtual HICON get_icon();
    // Every message of the thread's loop, before it is translated and dispatched: keys that mean
    // something to the whole window, whichever control has the focus. True consumes it.
    virtual bool pre_translate(const MSG& message);

    // Hides the window and destroys it: at once on its own GUI thread, from any other thread by
    // asking that thread (a window can only be destroyed by the thread that made it). False when
    // there is no window. Any thread.
    bool close_window();
    // Shared, so that either side may go on (and the window be deleted) while the other is
    // still leaving the barrier.
    std::shared_ptr<RStartup> startup() const { return startup_; }

    // Written by unregister_window (any thread), read by the GUI thread's loop.
    std::atomic<bool> destroyed{false};
    // The system window while it exists, for other threads: handle itself is the GUI thread's
    // alone, which reads it without a lock.
    std::atomic<HWND> system_window{nullptr};
    // True while CreateWindowExW runs on the GUI thread: a creation that fails then sends
    // WM_NCDESTROY for a window the manager never registered.
    std::atomic<bool> creating{false};
    // The GUI thread running this window's loop, so another thread can wake it.
    std::atomic<DWORD> thread_id{0};

private:
    std::shared_ptr<RStartup> startup_ = std::make_shared<RStartup>();
};

// Inclusive-rectangle layout: copy edges of the parent's client area, or place the control
// right next to a sibling.
void dock(CWindowBase* control, CWindowBase* parent, int edges);
void attach(CWindowBase* control, CWindowBase* sibling, int edges);

} // namespace wapi
