#pragma once
#include <atomic>
#include <string>
#include <vector>

#include <windows.h>

#include "app/poll_timer.h"
#include "feed/monitor.h"
#include "kernel/sync.h"
#include "nexum/nexum.h"

namespace app {

// Where the bridge shows what the feed says. GUI thread.
class IFeedWindow {
public:
    // The forum list from now on.
    virtual void show_topics(const std::vector<feed::RForumRow>& topics) = 0;
    // The status line, its tooltip and the tray tip.
    virtual void show_feed_state(const feed::RFeedState& state) = 0;
    // New posts: the tray's icon and balloon.
    virtual void announce(const feed::RBalloon& balloon) = 0;

protected:
    ~IFeedWindow() = default;
};

// The forum monitor's link to the window: it owns the monitor, the engine the monitor polls
// through and the poll timer. The monitor finishes each answer on the feed thread into a snapshot
// and this bridge hands it to the GUI thread with one posted message; the window never reads the
// monitor. feed_polled runs on the feed thread; everything else on the GUI thread.
class CFeedBridge : private feed::IForumView {
public:
    // Posted by the feed thread: snapshots wait.
    static const UINT WM_FEED_POLLED = WM_APP + 1;

    CFeedBridge(IFeedWindow& window, const char* site_url);
    ~CFeedBridge() { stop(); }
    CFeedBridge(const CFeedBridge&) = delete;
    CFeedBridge& operator=(const CFeedBridge&) = delete;

    // At WM_CREATE: the timer, the engine, and the first poll.
    void start(HWND window);
    // At WM_DESTROY, while the window still exists: no snapshot comes afterwards.
    void stop();
    // The window's messages for the feed; true when message was one.
    bool on_message(UINT message, WPARAM wparam);
    // The page of a topic, UTF-8.
    std::string topic_url(std::int32_t id) const;

private:
    void feed_polled(feed::RFeedSnapshot snapshot) override;
    void take_snapshots();
    void poll();
    void show_state();

    IFeedWindow& window_; // not owned
    std::string site_url_;
    feed::CFeedMonitor monitor_;
    std::atomic<HWND> hwnd_{nullptr}; // where the feed thread posts; not owned
    kernel::CCriticalSection lock_;
    std::vector<feed::RFeedSnapshot> waiting_; // guarded by lock_
    // GUI thread.
    CPollTimer timer_;
    feed::RFeedState state_;
    // Last, so that it goes first: its threads end there, before anything they use.
    nexum::CNexum engine_;
};

} // namespace app
