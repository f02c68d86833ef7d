#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "app/poll_timer.h"
#include "feed/monitor.h"
#include "feed/news.h"
#include "feed/seen_file.h"
#include "kernel/sync.h"
#include "nexum/nexum.h"

namespace app {

// What the window shows of the feed: the status line and its tooltip, and the tray's tip (its
// lines, the most important first, without the program's name) and icon.
struct RFeedView {
    std::wstring line;
    std::wstring details;
    std::wstring tip;
    bool news = false; // anything new for the user: the new-posts icon
};

// Where the bridge shows what the feed says. GUI thread.
class IFeedWindow {
public:
    // The forum list from now on, new posts marked.
    virtual void show_topics(const std::vector<feed::RForumRow>& topics) = 0;
    virtual void show_feed_state(const RFeedView& view) = 0;
    // New posts: the balloon.
    virtual void announce(const feed::RBalloon& balloon) = 0;
    // Says in the status line what could not be done, until the next answer.
    virtual void report(const std::wstring& problem) = 0;

protected:
    ~IFeedWindow() = default;
};

// How long the tray menu's pause lasts.
enum class EPause { HOUR, TOMORROW, NONE };

// The forum monitor's link to the window. It owns the monitor, the engine the monitor polls
// through and the poll timer: the monitor finishes each answer on the feed thread into a snapshot
// and this bridge hands it to the GUI thread with one posted message, so the window never reads
// the monitor. On the GUI thread it keeps what the user has seen (in its file, across restarts),
// marks what is new, and holds balloons back while the user is busy or has paused them.
// feed_polled runs on the feed thread; everything else on the GUI thread.
class CFeedBridge : private feed::IForumView {
public:
    // Posted by the feed thread: snapshots wait.
    static const UINT WM_FEED_POLLED = WM_APP + 1;
    // Posted by the writer of what was seen after each write.
    static const UINT WM_SEEN_WRITTEN = WM_APP + 5;

    // folder: where what the user has seen is kept; empty when there is none.
    CFeedBridge(IFeedWindow& window, const char* site_url, std::wstring folder);
    ~CFeedBridge() { stop(); }
    CFeedBridge(const CFeedBridge&) = delete;
    CFeedBridge& operator=(const CFeedBridge&) = delete;

    // At WM_CREATE: what was seen, the timer, the engine, and the first poll.
    void start(HWND window);
    // At WM_DESTROY, while the window still exists: no snapshot comes afterwards, and what was
    // seen is written.
    void stop();
    // The window's messages for the feed; true when message was one. The session's end is
    // answered false, so the window gives the system its usual answer.
    bool on_message(UINT message, WPARAM wparam);
    // The page of a topic, UTF-8.
    std::string topic_url(std::int32_t id) const;

    // The tray menu's commands for the feed (and F5's); true when command was one.
    bool on_command(WORD command);
    // The user's commands. A check now polls at once, but never within 10 s of the last poll and
    // never inside a wait after failed polls.
    void check_now();
    void mark_all_read();
    void pause(EPause length);
    bool paused() const;
    // Any row with posts the user has not seen, told of or not.
    bool any_news() const;
    bool only_followed() const { return news_.only_followed(); }
    // The user opened the topic (its page went to the browser).
    void topic_opened(std::int32_t id);
    // A topic's menu: marked read, followed or muted (and back); a follow or mute past the limit
    // is refused and said.
    void topic_command(std::int32_t id, UINT command);

private:
    void feed_polled(feed::RFeedSnapshot snapshot) override;
    void take_snapshots();
    bool poll();
    // Balloons held while the user was busy or paused them, once neither is so.
    void release_held();
    bool quiet() const;
    void say_once(const std::wstring& notice);
    // After what is new for the user changed: the list and the state, and the file.
    void show_news();
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
    feed::CSeenFile seen_;
    bool said_failing_ = false;              // a failed write was told of, and none has succeeded since
    feed::CNews news_;                       // over seen_'s topics
    std::int64_t polled_ms_ = INT64_MIN / 2; // when the last poll went out
    // Said once in the status line beside the feed's state, for a while: a kept list that could
    // not be read, one that could not be written.
    std::wstring notice_;
    std::int64_t notice_ms_ = 0;
    // Last, so that it goes first: its threads end there, before anything they use.
    nexum::CNexum engine_;
};

} // namespace app
