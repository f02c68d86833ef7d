#pragma once
#include <windows.h>

#include "kernel/owner.h"

namespace app {

bool delete_queue_timer(HANDLE timer);
// A kernel timer of the process's timer queue; deleting it waits for a callback under way.
using CQueueTimer = kernel::COwner<HANDLE, &delete_queue_timer>;

// The window's timer that polls the feed. The system may refuse a timer (user32 has a quota per
// session): then it is tried again every retry_ms, the retry coming from a timer of the kernel's
// timer queue, which that quota does not limit. GUI thread only; the retry's callback only posts.
class CPollTimer {
public:
    static const UINT_PTR ID = 1;
    // Posted by the retry: on_retry tries again.
    static const UINT WM_RETRY = WM_APP + 4;

    CPollTimer() = default;
    ~CPollTimer() { stop(); }
    CPollTimer(const CPollTimer&) = delete;
    CPollTimer& operator=(const CPollTimer&) = delete;

    // True when the timer runs; otherwise a retry is under way.
    bool start(HWND window, UINT period_ms, UINT retry_ms);
    void stop();
    bool running() const { return running_; }
    // The retry's message came: true when the timer runs now.
    bool on_retry();

private:
    bool try_start();

    HWND window_ = nullptr; // not owned
    UINT period_ms_ = 0;
    UINT retry_ms_ = 0;
    bool running_ = false;
    CQueueTimer retry_;
};

} // namespace app
