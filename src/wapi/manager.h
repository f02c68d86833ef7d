#pragma once
#include <list>
#include <memory>
#include <set>

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>

#include "wapi/window.h"

namespace wapi {

// Registers top-level windows, gives each a GUI thread of its own and lets the first thread
// wait until every window is gone. Its lock is never held while a window is being created or
// a thread joined, so a window may register another one, or talk to the program's other
// threads, from its creation.
class CWindowManager {
public:
    static CWindowManager& instance();
    ~CWindowManager();

    // Takes ownership of window; returns once the window exists or has failed (and then
    // has been deleted).
    void register_window(CWindow* window);
    void wait_for_windows();
    // From the window procedure at WM_NCDESTROY, or from any thread to end a window's loop.
    void unregister_window(CWindowBase* window);

private:
    CWindowManager() = default;

    std::set<CWindowBase*> windows_; // not owned: each belongs to its GUI thread
    std::list<std::unique_ptr<boost::thread>> threads_;
    boost::mutex lock_;
    boost::condition_variable no_windows_;
};

// Body of a window's GUI thread: creates the window, runs its message loop, deletes it.
class CWindowThread {
public:
    explicit CWindowThread(CWindow* window) : window_(window), startup_(window->startup()) {}
    void operator()();

private:
    // The window, or null when it could not be made; started once the barrier has been passed.
    HWND create(bool& started);
    void loop();
    // Destroys what is left of the window, unregisters and deletes it.
    void finish(HWND hwnd);

    CWindow* window_; // owned from the end of the message loop on
    // Kept by the thread itself: after a failed creation the registering thread deletes the
    // window while this thread may still be leaving the barrier.
    std::shared_ptr<RStartup> startup_;
};

} // namespace wapi
