#pragma once
#include <set>

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>

#include "wapi/window.h"

namespace wapi {

// Registers top-level windows, gives each a GUI thread of its own and lets the first thread
// wait until every window is gone.
class CWindowManager {
public:
    static CWindowManager& instance();
    ~CWindowManager();

    // Takes ownership of window; returns once the window exists or has failed (and then
    // has been deleted).
    void register_window(CWindow* window);
    void wait_for_windows();
    void unregister_window(CWindowBase* window);

private:
    CWindowManager() = default;

    std::set<CWindowBase*> windows_; // not owned: each belongs to its GUI thread
    boost::thread_group threads_;
    boost::mutex lock_;
    boost::condition_variable no_windows_;
};

// Body of a window's GUI thread: creates the window, runs its message loop, deletes it.
class CWindowThread {
public:
    explicit CWindowThread(CWindow* window) : window_(window) {}
    void operator()();

private:
    CWindow* window_; // owned from the end of the message loop on
};

} // namespace wapi
