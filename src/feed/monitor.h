#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "feed/feed_state.h"
#include "feed/forum_rows.h"
#include "feed/poll_schedule.h"
#include "kernel/sync.h"
#include "nexum/download.h"
#include "nexum/task.h"
#include "xml/parse_xml.h"
#include "string/basic_string.h"
#include "string/weak_string.h"

namespace nexum {
class CNexum;
}

namespace feed {

using string::narrow_string;

// One answer to a poll, finished on the feed thread: all the window shows of it, handed over
// whole, so that the window never reads the monitor.
struct RFeedSnapshot {
    RFeedCheck check;
    RFeedState state;        // the status line, its details and the tray tip
    bool has_topics = false; // a feed was taken: topics is the list from now on
    std::vector<RForumRow> topics;
};

// What the forum monitor needs of the application.
class IForumView {
public:
    // Once per answer to a poll, whatever it was, on the engine's notification thread, which the
    // GUI thread waits for at exit: it must never wait for the GUI thread (post to it, never
    // send).
    virtual void feed_polled(RFeedSnapshot snapshot) = 0;

protected:
    ~IForumView() = default;
};

// The page of a topic, UTF-8: the forum list keeps each row's id, so a row opens its own topic
// whatever the list shows by then.
std::string topic_url(const string::weak_string<char>& site_url, std::int32_t id);

// "Pelikant/<version> (Windows NT <major>.<minor>)", with the system's own version numbers, so
// that a site operator can tell the program's polls apart.
std::string user_agent(const char* version);

// What an answer to a poll came to; the feed itself is read by the caller.
RFeedCheck classify(int kind, const nexum::RAnswer& answer);
// Whether an answer says the site is down or busy, so that the polls back off.
bool is_failure(const RFeedCheck& check);

// Receives the engine's notifications: reads each downloaded feed, announces new posts and keeps
// the last feed that parsed for the forum list.
class CFeedMonitor : public nexum::INotifications {
public:
    // site_url: the site base URL, UTF-8, without a trailing slash. A null view refuses every
    // notification. wait_percent: how much of each wait after failed polls is waited.
    CFeedMonitor(const string::weak_string<char>& site_url, IForumView* view, int wait_percent = 100);
    virtual ~CFeedMonitor() = default;
    CFeedMonitor(const CFeedMonitor&) = delete;
    CFeedMonitor& operator=(const CFeedMonitor&) = delete;

    // A tick of the poll timer at now_ms (GetTickCount64): asks the engine for the feed,
    // conditionally once a feed has come, unless the tick falls inside a wait after failed
    // polls. One poll at a time: a tick while the last is unanswered asks nothing now, but once
    // the answer is in (answers that crossed would roll the feed back and announce twice). True
    // when it asked.
    bool poll(nexum::CNexum& engine, std::int64_t now_ms);
    // A poll unanswered for this long is taken for lost (its download thread failed), and the
    // next tick polls again; should its answer still come, it is dropped if a newer one has been
    // taken. Well above a transfer's limit and a slow proxy search together.
    static const std::int64_t ANSWER_OVERDUE_MS = 5 * 60 * 1000;

    // Takes the answers to polls (kinds 8 and 9); always false, so the engine deletes the
    // notification.
    bool on_notification(nexum::INotification* notification) override;
    // text: one feed, zero-terminated UTF-8. Puts its rows into out; false, and out as it was,
    // when it is no feed.
    static bool process_feed(const char* text, RFeedSnapshot& out);

    // The validators sent with the next poll, and the schedule of polls.
    std::string etag() {
        kernel::CLock lock(lock_);
        return etag_;
    }
    CPollSchedule schedule() {
        kernel::CLock lock(lock_);
        return schedule_;
    }

private:
    narrow_string site_url_;
    std::atomic<IForumView*> view_;
    kernel::CCriticalSection lock_;
    // Of the last feed that parsed, as they came; guarded by lock_.
    std::string etag_;
    std::string last_modified_;
    CPollSchedule schedule_; // guarded by lock_
    // The polls: the number of the last asked for and of the newest answer taken, when the last
    // went out, whether a tick came while it was under way, and the engine it went to (not
    // owned). Guarded by lock_.
    std::uint64_t asked_ = 0;
    std::uint64_t answered_ = 0;
    std::int64_t asked_at_ms_ = 0;
    bool deferred_ = false;
    nexum::CNexum* engine_ = nullptr;
    std::mt19937 random_; // notification thread only
};

} // namespace feed
