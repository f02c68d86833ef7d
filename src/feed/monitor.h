#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "kernel/sync.h"
#include "nexum/download.h"
#include "nexum/task.h"
#include "xml/parse_xml.h"
#include "feed/poll_schedule.h"
#include "string/basic_string.h"
#include "string/weak_string.h"

namespace nexum {
class CNexum;
}

namespace feed {

using string::narrow_string;
using string::wide_string;

// What one poll of the feed came to.
struct RFeedCheck {
    enum Outcome {
        FEED,          // a 200 body that parsed as a feed
        UNCHANGED,     // 304: the feed is as it was
        NO_CONNECTION, // no HTTP answer: refused, DNS, time-out, TLS, proxy, a broken connection
        HTTP_ERROR,    // a status of 400 or more
        NOT_A_FEED,    // a body that is no feed: another page, too big, badly compressed, empty
    };
    Outcome outcome = FEED;
    long http_status = 0; // the answer's status, 0 when none came
    std::wstring detail;  // for a tooltip: libcurl's error text, the status line, ...
};

struct RBalloon {
    wide_string title;
    wide_string text;
    std::int32_t topic_id = -1; // the topic it names
};

// What the forum monitor needs of the application. announce, feed_replaced and feed_checked
// come on the engine's notification thread, which the GUI thread waits for at exit: they must
// never wait for the GUI thread (post to it, never send). open_url comes on the GUI thread.
class IForumView {
public:
    // New posts: tray icon 5001, 5001 as the balloon icon, then the balloon (the tray cuts the
    // texts to its fields); a click on the balloon opens its topic.
    virtual void announce(const RBalloon& balloon) = 0;
    // The last feed has been replaced: refill the forum list from it (CFeedMonitor::visit_last).
    virtual void feed_replaced() = 0;
    // Opens a URL (UTF-8) in the default browser.
    virtual void open_url(const string::weak_string<char>& url) = 0;
    // Once per answer to a poll, whatever it was, after the feed (if any) has been taken.
    virtual void feed_checked(const RFeedCheck& check) = 0;

protected:
    ~IForumView() = default;
};

// The balloon naming topic: "<site URL> (Postów: N)" and the topic's title, or a general line
// when the title is blank (the shell shows no balloon without a text).
void make_balloon(const string::weak_string<char>& site_url, const xml::RTopic& topic, RBalloon& out);

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

    void set_view(IForumView* view) { view_ = view; }

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
    // text: one feed, zero-terminated UTF-8. False when it is no feed.
    bool process_feed(const char* text);
    // Opens the page of the topic with this id (the forum list keeps the id of each row).
    void open_topic(std::int32_t id);
    // That page's address, UTF-8.
    std::string topic_url(std::int32_t id) const;

    // New posts in current against previous, topic by topic in feed order.
    static bool is_changed(const xml::RForumFeed& previous, const xml::RForumFeed& current);
    // Position of the topic updated last (greatest UpdateDT text, the earliest on ties); 0 for
    // an empty list.
    static std::size_t latest_topic(const std::vector<xml::RTopic>& topics);

    // Calls visit(const xml::RForumFeed&) with the last feed, under the lock that the notification
    // thread takes to replace it. visit must not call back into this object.
    template <class F> void visit_last(F&& visit) {
        kernel::CLock lock(lock_);
        visit(static_cast<const xml::RForumFeed&>(last_));
    }

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
    xml::RForumFeed last_; // guarded by lock_
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
