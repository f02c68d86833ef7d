// The forum monitor on hand-made feeds: the change rule, the latest topic and its balloon, the
// snapshots it hands over, topic states and pages and the notifications it takes; the schedule of
// polls; and polls of a real web server (nginx) and of the scripted server's failures.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "feed_server.h"
#include "started_process.h"
#include "nexum/download.h"
#include "nexum/nexum.h"
#include "feed/feed_state.h"
#include "feed/forum_rows.h"
#include "feed/monitor.h"
#include "feed/news.h"
#include "xml/parse_xml.h"
#include "feed/poll_schedule.h"
#include "feed/seen.h"
#include "feed/seen_file.h"
#include "files/small_file.h"

using namespace feed;
using namespace xml;

namespace {

const char* const SITE = "http://127.0.0.1:8765";

template <class T> std::basic_string<T> s(const string::weak_string<T>& text) {
    return text.is_empty() ? std::basic_string<T>()
                           : std::basic_string<T>(text.c_str(), static_cast<size_t>(text.length()));
}

struct RT {
    int id, posts, last_user;
    bool visited = false;
    const char* update = "2026-12-08 10:00";
    const char* title = "t";
    bool open = true;
};

std::string feed_xml(const std::vector<RT>& topics) {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?><Pelikant>"
                       "<Information UpdateDT=\"x\">i</Information><Forum><TopicContainer>";
    for (const RT& t : topics) {
        text += "<Topic Id=\"" + std::to_string(t.id) + "\" PostCount=\"" + std::to_string(t.posts) +
                "\" LastUserId=\"" + std::to_string(t.last_user) + "\" Visited=\"" + (t.visited ? "1" : "0") +
                "\" IsOpen=\"" + (t.open ? "1" : "0") + "\" UpdateDT=\"" + t.update + "\"><Title>" + t.title +
                "</Title></Topic>";
    }
    return text + "</TopicContainer></Forum></Pelikant>";
}

// Records the snapshots the monitor hands over, as the window would take them.
class CFakeView : public IForumView {
public:
    void feed_polled(RFeedSnapshot snapshot) override { take(snapshot); }
    void take(const RFeedSnapshot& snapshot) {
        if (snapshot.has_topics) {
            ++replaced;
            shown.clear();
            for (const RForumRow& row : snapshot.topics) {
                shown.push_back(row.id);
            }
        }
        checks.push_back(snapshot.check);
        ++checked;
    }
    // The check of the n-th answer, once it has come (or after 15 s, an empty one).
    RFeedCheck wait_check(int n) {
        for (int waited = 0; checked < n && waited < 15000; waited += 10) {
            Sleep(10);
        }
        return checked >= n ? checks[static_cast<size_t>(n - 1)] : RFeedCheck{RFeedCheck::FEED, -1, L""};
    }

    int replaced = 0;
    std::vector<int> shown; // the ids the list shows
    std::vector<RFeedCheck> checks;
    std::atomic<int> checked{0};
};

// Hands a feed to the monitor as an answer would, the view taking what it gives.
bool process(CFeedMonitor& handler, CFakeView& view, const char* text) {
    RFeedSnapshot snapshot;
    const bool taken = handler.process_feed(text, snapshot);
    if (taken) {
        view.take(snapshot);
    }
    return taken;
}

} // namespace

TEST(ForumChange, FeedSequences) {
    const std::string a = feed_xml({{1, 5, 7}, {2, 3, 9}});
    const std::string more = feed_xml({{1, 6, 8}, {2, 3, 9}});
    const std::string none = feed_xml({});
    struct RStep {
        const char* text;
        std::vector<int> last; // ids of the last feed afterwards
    };
    struct RCase {
        const char* name;
        std::vector<RStep> steps;
        int replaced;
    } cases[] = {
        {"unparsable between equal feeds",
         {{a.c_str(), {1, 2}}, {"<Pelikant><Forum>", {1, 2}}, {a.c_str(), {1, 2}}},
         2},
        {"empty texts", {{a.c_str(), {1, 2}}, {"", {1, 2}}, {nullptr, {1, 2}}, {more.c_str(), {1, 2}}}, 2},
        {"a feed without topics", {{a.c_str(), {1, 2}}, {none.c_str(), {}}, {more.c_str(), {1, 2}}}, 3},
        {"a well-formed page that is no feed",
         {{a.c_str(), {1, 2}}, {"<html><body><h1>503</h1></body></html>", {1, 2}}, {more.c_str(), {1, 2}}},
         2},
    };
    for (const RCase& c : cases) {
        CFakeView view;
        CFeedMonitor handler(SITE, &view);
        for (const RStep& step : c.steps) {
            process(handler, view, step.text);
            EXPECT_EQ(view.shown, step.last) << c.name;
        }
        EXPECT_EQ(view.replaced, c.replaced) << c.name;
    }
}

TEST(ForumChange, ParserHandsItsFeedOverWithoutCopying) {
    CParseXml parser;
    ASSERT_TRUE(parser.parse(feed_xml({{1, 5, 7}, {2, 3, 9}}).c_str()));
    const RTopic* topics = parser.feed().Topics.data();
    RForumFeed kept;
    kept.InformationText = L"stary";
    parser.swap_feed(kept);
    EXPECT_EQ(kept.Topics.data(), topics);
    EXPECT_TRUE(kept.InformationText.equals(L"i"));
    EXPECT_TRUE(parser.feed().Topics.empty());
    EXPECT_TRUE(parser.feed().InformationText.equals(L"stary"));
}

TEST(ForumBalloon, LatestTopic) {
    struct RCase {
        std::vector<const wchar_t*> updates;
        int latest; // -1: none
    } cases[] = {
        {{}, -1},
        {{L"A"}, 0},
        {{L"A", L"B", L"B"}, 1}, // ties keep the earlier
        {{L"B", L"A"}, 0},
        {{L"ab", L"abc", L"ab"}, 1},                    // a prefix is the smaller
        {{L"2026-12-08 9:59", L"2026-12-08 10:00"}, 0}, // text, not time
        {{L"z", L"\u00e9", L"\uffff", L"\u0142"}, 2},   // unsigned code units
        {{L"", L"", L"2026-12-08 10:00", L"2026-12-08 10:00:00"}, 3},
    };
    for (const RCase& c : cases) {
        std::vector<RForumRow> topics(c.updates.size());
        std::vector<const RForumRow*> given;
        for (size_t i = 0; i < topics.size(); ++i) {
            topics[i].update = c.updates[i];
            given.push_back(&topics[i]);
        }
        const std::vector<const RForumRow*> sorted = latest_first(given);
        EXPECT_EQ(sorted.empty() ? nullptr : sorted[0],
                  c.latest < 0 ? nullptr : &topics[static_cast<size_t>(c.latest)])
            << c.updates.size();
    }
}

TEST(ForumBalloon, TextsAreUtf16WithAFallbackForABlankTitle) {
    // The shell shows no balloon without a text: a blank title gives a general line.
    const std::wstring fallback = L"Na forum pojawiły się nowe wiadomości.";
    const std::wstring astral = L"\xd83d\xde00 Żółw"; // a pair and Polish letters, as they come
    struct RCase {
        const char* name;
        int posts;
        std::wstring title;
        std::wstring balloon_title, balloon_text;
    } cases[] = {
        {"Polish", 12, L"Żółw", L"http://127.0.0.1:8765 (Postów: 12)", L"Żółw"},
        {"empty title", -3, L"", L"http://127.0.0.1:8765 (Postów: -3)", fallback},
        {"blank title", 0, L" \t\n", L"http://127.0.0.1:8765 (Postów: 0)", fallback},
        {"outside the basic plane", 1, astral, L"http://127.0.0.1:8765 (Postów: 1)", astral},
    };
    for (const RCase& c : cases) {
        RForumRow topic;
        topic.id = 4;
        topic.posts = c.posts;
        topic.title = c.title;
        const RBalloon balloon = topic_balloon(SITE, topic);
        EXPECT_EQ(balloon.title, c.balloon_title) << c.name;
        EXPECT_EQ(balloon.text, c.balloon_text) << c.name;
        EXPECT_EQ(balloon.topic_id, 4) << c.name << ": a click on the balloon opens the topic it names";
    }
}

TEST(ForumState, WhatTheWindowAndTheTraySay) {
    SYSTEMTIME at = {};
    at.wHour = 17;
    at.wMinute = 3;
    at.wSecond = 9;
    struct RCase {
        RFeedCheck::Outcome outcome;
        long status;
        const wchar_t* detail;
        const wchar_t *line, *tip;
        bool details; // "Szczegóły: " and the detail
    } cases[] = {
        {RFeedCheck::FEED, 200, L"HTTP/1.1 200 OK", L"Sprawdzono 17:03", L"sprawdzono 17:03", false},
        {RFeedCheck::UNCHANGED, 304, L"", L"Sprawdzono 17:03 (bez zmian)", L"sprawdzono 17:03 (bez zmian)",
         false},
        {RFeedCheck::NO_CONNECTION, 0, L"Couldn't connect to server", L"Brak połączenia z serwerem (17:03)",
         L"brak połączenia z serwerem (17:03)", true},
        {RFeedCheck::HTTP_ERROR, 503, L"HTTP/1.1 503 Service Unavailable",
         L"Serwer odpowiedział błędem 503 (17:03)", L"błąd serwera 503 (17:03)", true},
        {RFeedCheck::NOT_A_FEED, 200, L"", L"Odpowiedź nie jest listą tematów (17:03)",
         L"odpowiedź nie jest listą tematów (17:03)", false},
    };
    for (const RCase& c : cases) {
        RFeedCheck check;
        check.outcome = c.outcome;
        check.http_status = c.status;
        check.detail = c.detail;
        const RFeedState state = feed_state(check, at);
        EXPECT_EQ(state.line, c.line);
        EXPECT_EQ(state.tip, c.tip);
        // The details name the exact time and, for a failure, what the server or libcurl said.
        EXPECT_NE(state.details.find(L"17:03:09"), std::wstring::npos) << state.details;
        EXPECT_EQ(state.details.find(L"Szczegóły: " + std::wstring(c.detail)) != std::wstring::npos,
                  c.details)
            << state.details;
    }
    EXPECT_EQ(waiting_state().line, L"Pobieranie listy tematów…");
}

TEST(ForumList, StatesAndRows) {
    struct RCase {
        bool open;
        int order_key;
        bool visited;
        bool pinned;
    } cases[] = {
        {true, 0, false, false}, {true, 1, true, true},    {false, 5, false, true},
        {false, 0, true, false}, {true, -3, false, false}, // a negative key is not pinned
    };
    for (const RCase& c : cases) {
        RTopic topic;
        topic.IsOpen = c.open;
        topic.OrderKey = c.order_key;
        topic.Visited = c.visited;
        const RTopicState state = topic_state(topic);
        EXPECT_EQ(state.open, c.open) << c.order_key;
        EXPECT_EQ(state.pinned, c.pinned) << c.order_key;
        EXPECT_EQ(state.visited, c.visited) << c.order_key;
    }
    // The placeholder is no topic; a row keeps its topic's id for the page it opens.
    EXPECT_FALSE(waiting_row().is_topic());
    for (int id : {7, -1, 2147483647}) {
        EXPECT_EQ(topic_url(SITE, id), std::string(SITE) + "/forum/temat/?id=" + std::to_string(id));
    }
}

TEST(ForumNotifications, OnlyFinishedDownloadsAreRead) {
    const std::string text = feed_xml({{1, 5, 7}});
    auto download = [&](int outcome) {
        nexum::CNotificationDownload* note = new nexum::CNotificationDownload(outcome);
        note->file.data.append(static_cast<std::int32_t>(text.size()), text.data());
        return note;
    };
    struct RCase {
        const char* name;
        nexum::INotification* note;
        bool with_view;
        int replaced;
    } cases[] = {
        {"finished", download(2), true, 1},
        {"finished, no view", download(2), false, 0},
        {"started", download(0), true, 0},
        {"failed", download(1), true, 0},
        {"connected", new nexum::CNotificationBase(nexum::Connected), true, 0},
        {"kind 9 without bytes", new nexum::CNotificationBase(nexum::DownloadFinished), true, 0},
        {"null", nullptr, true, 0},
    };
    for (const RCase& c : cases) {
        CFakeView view;
        CFeedMonitor handler(SITE, c.with_view ? &view : nullptr);
        EXPECT_FALSE(handler.on_notification(c.note)) << c.name;
        EXPECT_EQ(view.replaced, c.replaced) << c.name;
        EXPECT_EQ(view.shown, c.replaced ? std::vector<int>{1} : std::vector<int>{}) << c.name;
        delete c.note;
    }

    // One poll at a time, and answers that cross: a late one never replaces a newer one. The
    // engine is never started, so the polls go nowhere; the answers are handed in by hand.
    CFakeView view;
    CFeedMonitor handler(SITE, &view);
    nexum::CNexum engine;
    const auto answer = [&](std::uint64_t tag, int id) {
        nexum::CNotificationDownload note(2);
        const std::string text = feed_xml({{id, 5, 7}});
        note.file.data.append(static_cast<std::int32_t>(text.size()), text.data());
        note.kind = nexum::DownloadFinished;
        note.answer.end = nexum::TransferDone;
        note.answer.status = 200;
        note.tag = tag;
        handler.on_notification(&note);
    };
    const std::int64_t now = static_cast<std::int64_t>(GetTickCount64());
    ASSERT_TRUE(handler.poll(engine, now));
    EXPECT_FALSE(handler.poll(engine, now + 60000)) << "a second poll while the first is under way";
    answer(1, 1); // the tick that came meanwhile polls now: poll 2 is under way
    EXPECT_FALSE(handler.poll(engine, now + 120000));
    // Poll 2 is lost; after a while a tick polls again (3), whose answer comes first.
    ASSERT_TRUE(handler.poll(engine, now + 120000 + CFeedMonitor::ANSWER_OVERDUE_MS));
    answer(3, 3);
    answer(2, 2);
    EXPECT_EQ(view.shown, std::vector<int>{3});
    EXPECT_EQ(view.replaced, 2);
}

TEST(PollSchedule, WaitsAfterFailures) {
    const std::uint32_t LOW = 0, HIGH = 0xFFFFFFFFu;
    struct RCase {
        int failures;
        std::int64_t retry_after_s;
        std::uint32_t random;
        std::int64_t wait_ms;
    } cases[] = {
        {0, -1, NO_JITTER, 0},       {0, 600, HIGH, 0}, // a Retry-After of a good answer means nothing
        {1, -1, NO_JITTER, 120000},  {2, -1, NO_JITTER, 240000},
        {3, -1, NO_JITTER, 480000},  {4, -1, NO_JITTER, 960000},
        {40, -1, NO_JITTER, 960000}, {1, -1, LOW, 108000},
        {1, -1, HIGH, 131999},       {4, -1, LOW, 864000},
        {4, -1, HIGH, 1055999},      {1, 30, NO_JITTER, 120000},    // shorter than the schedule's own wait
        {1, 600, LOW, 600000},                                      // longer: honoured, without jitter
        {3, 0, NO_JITTER, 480000},   {1, 7200, NO_JITTER, 3600000}, // up to an hour
        {2, 86400, HIGH, 3600000},
    };
    for (const RCase& c : cases) {
        EXPECT_EQ(backoff_ms(c.failures, c.retry_after_s, c.random), c.wait_ms)
            << c.failures << " " << c.retry_after_s << " " << c.random;
    }
    // Copies that lost the site together: each waits 2 minutes ±10 %, and not all the same.
    std::vector<std::int64_t> waits;
    for (int copy = 0; copy < 20; ++copy) {
        CFakeView view;
        CFeedMonitor handler(SITE, &view);
        nexum::CNotificationDownload failed(1); // no connection
        const std::int64_t before = static_cast<std::int64_t>(GetTickCount64());
        handler.on_notification(&failed);
        waits.push_back(handler.schedule().due_ms() - before);
        EXPECT_NEAR(waits.back(), 120000, 12000 + 1000); // and a busy machine's delay
    }
    const auto range = std::minmax_element(waits.begin(), waits.end());
    EXPECT_GT(*range.second - *range.first, 1000) << "every copy drew the same wait";
}

TEST(PollSchedule, TicksInsideAWaitAreSkippedAndAGoodAnswerEndsTheWaits) {
    struct RAnswer {
        bool failed;
        std::int64_t retry_after_s;
        int failures;
        std::int64_t wait_ms;
    };
    const std::vector<RAnswer> answers = {
        {true, -1, 1, 120000}, {true, -1, 2, 240000}, {true, 600, 3, 600000}, {true, -1, 4, 960000},
        {true, -1, 4, 960000}, {false, -1, 0, 0},     {true, 30, 1, 120000},  {false, 3600, 0, 0},
    };
    CPollSchedule schedule;
    EXPECT_TRUE(schedule.is_due(0)) << "the first poll never waits";
    std::int64_t now = 1000000;
    for (const RAnswer& a : answers) {
        schedule.answered(a.failed, a.retry_after_s, NO_JITTER, now);
        EXPECT_EQ(schedule.failures(), a.failures) << now;
        EXPECT_EQ(schedule.due_ms(), now + a.wait_ms) << now;
        // A tick a little before the wait's end still polls; one a second earlier does not.
        EXPECT_TRUE(schedule.is_due(now + a.wait_ms - TICK_SLACK_MS)) << now;
        EXPECT_TRUE(a.wait_ms == 0 || !schedule.is_due(now + a.wait_ms - TICK_SLACK_MS - 1)) << now;
        now += a.wait_ms + 60000;
    }
    CPollSchedule unwaiting(0);
    unwaiting.answered(true, 3600, NO_JITTER, now);
    EXPECT_EQ(unwaiting.failures(), 1);
    EXPECT_TRUE(unwaiting.is_due(now)) << "a schedule at 0 % counts failures but never waits";
}

TEST(FeedCheck, WhatAnAnswerCameTo) {
    using nexum::DownloadFailed;
    using nexum::DownloadFinished;
    struct RCase {
        int kind;
        long status;
        nexum::TransferEnd end;
        RFeedCheck::Outcome outcome;
        bool failure;
    } cases[] = {
        {DownloadFinished, 200, nexum::TransferDone, RFeedCheck::FEED, false}, // if the body parses
        {DownloadFinished, 304, nexum::TransferDone, RFeedCheck::UNCHANGED, false},
        {DownloadFinished, 404, nexum::TransferDone, RFeedCheck::HTTP_ERROR, false},
        {DownloadFinished, 429, nexum::TransferDone, RFeedCheck::HTTP_ERROR, true},
        {DownloadFinished, 503, nexum::TransferDone, RFeedCheck::HTTP_ERROR, true},
        {DownloadFailed, 500, nexum::TransferNoAnswer, RFeedCheck::HTTP_ERROR, true},
        {DownloadFailed, 0, nexum::TransferNoAnswer, RFeedCheck::NO_CONNECTION, true},
        {DownloadFailed, 200, nexum::TransferNoAnswer, RFeedCheck::NO_CONNECTION, true}, // broke off
        {DownloadFailed, 200, nexum::TransferTooBig, RFeedCheck::NOT_A_FEED, false},
        {DownloadFailed, 200, nexum::TransferBadBody, RFeedCheck::NOT_A_FEED, false},
        {DownloadFailed, 302, nexum::TransferBadBody, RFeedCheck::NOT_A_FEED, false},
    };
    for (const RCase& c : cases) {
        nexum::RAnswer answer;
        answer.status = c.status;
        answer.end = c.end;
        const RFeedCheck check = classify(c.kind, answer);
        EXPECT_EQ(check.outcome, c.outcome) << c.kind << " " << c.status << " " << c.end;
        EXPECT_EQ(is_failure(check), c.failure) << c.kind << " " << c.status << " " << c.end;
    }
}

namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::vector<std::string> lines_of(const std::string& path) {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The handler polling through a real engine.
struct RPoller {
    explicit RPoller(const std::string& site) : handler(site.c_str(), &view) {
        engine.set_user_agent(user_agent("1.0.0"));
        engine.set_notifications(&handler);
        engine.start();
    }
    ~RPoller() { engine.set_notifications(nullptr); }
    // Polls at now_ms and waits for the answer's check.
    RFeedCheck poll(std::int64_t now_ms) {
        if (!handler.poll(engine, now_ms)) {
            return RFeedCheck{RFeedCheck::FEED, -2, L"skipped"};
        }
        return view.wait_check(++polls);
    }
    std::int64_t now() const { return static_cast<std::int64_t>(GetTickCount64()); }

    CFakeView view;
    CFeedMonitor handler;
    nexum::CNexum engine;
    int polls = 0;
};

} // namespace

// nginx serves the feed as a static file, with its own ETag, Last-Modified and gzip.
TEST(ForumPolls, AnUnchangedFeedIsA304WithNoBodyAChangedOneA200WithTheNewList) {
    const std::string site = env("PELIKANT_NGINX");
    ASSERT_FALSE(site.empty()) << "nginx not running; run the tests with tools/test.sh";
    const std::string file = env("PELIKANT_NGINX_ROOT") + "\\xml\\index.xml";
    std::vector<RT> topics;
    for (int i = 0; i < 50; ++i) {
        topics.push_back({i + 1, 5, 7, false, "2026-12-08 10:00", "Temat forum o dość zwyczajnej długości"});
    }
    std::ofstream(file, std::ios::binary) << feed_xml(topics);
    const size_t log_start = lines_of(env("PELIKANT_NGINX_LOG")).size();

    RPoller poller(site);
    RFeedCheck check = poller.poll(poller.now());
    EXPECT_EQ(check.outcome, RFeedCheck::FEED);
    EXPECT_EQ(check.http_status, 200);
    const std::string etag = poller.handler.etag();
    EXPECT_FALSE(etag.empty());
    check = poller.poll(poller.now());
    EXPECT_EQ(check.outcome, RFeedCheck::UNCHANGED);
    EXPECT_EQ(check.http_status, 304);
    EXPECT_EQ(poller.view.replaced, 1) << "a 304 refills nothing";

    topics[3].posts = 15; // one more character: a new ETag even within the same second
    std::ofstream(file, std::ios::binary) << feed_xml(topics);
    check = poller.poll(poller.now());
    EXPECT_EQ(check.outcome, RFeedCheck::FEED);
    EXPECT_EQ(poller.view.replaced, 2);
    // A page that is no feed keeps the validators of the last feed that parsed.
    const std::string changed_etag = poller.handler.etag();
    std::ofstream(file, std::ios::binary) << "<html><body>Przerwa techniczna</body></html>";
    EXPECT_EQ(poller.poll(poller.now()).outcome, RFeedCheck::NOT_A_FEED);
    EXPECT_EQ(poller.handler.etag(), changed_etag);

    // status, body bytes, bytes, request bytes, If-None-Match, If-Modified-Since, Last-Modified,
    // Accept-Encoding, User-Agent, address; nginx writes the line after its answer.
    std::vector<std::string> log;
    for (int waited = 0; (log = lines_of(env("PELIKANT_NGINX_LOG"))).size() < log_start + 4 && waited < 5000;
         waited += 10) {
        Sleep(10);
    }
    ASSERT_EQ(log.size(), log_start + 4);
    std::istringstream first(log[log_start]), second(log[log_start + 1]);
    int status = 0;
    size_t body = 0;
    first >> status >> body;
    EXPECT_EQ(status, 200);
    EXPECT_LT(body, feed_xml(topics).size() / 4) << "not compressed: " << log[log_start];
    EXPECT_NE(log[log_start].find("\"gzip, deflate\" \"Pelikant/1.0.0 (Windows NT "), std::string::npos)
        << log[log_start];
    second >> status >> body;
    EXPECT_EQ(status, 304);
    EXPECT_EQ(body, 0u);
    std::string ok[6], unchanged[6]; // the quoted fields at 1, 3 and 5
    for (int i = 0; i < 6; ++i) {
        std::getline(first, ok[i], '"');
        std::getline(second, unchanged[i], '"');
    }
    // Both validators of the 200 sent back as they came: the ETag (nginx weakens it when it
    // compresses, and logs '"' as \x22) and the Last-Modified.
    std::string sent;
    for (const char c : etag) {
        sent += c == '"' ? std::string("\\x22") : std::string(1, c);
    }
    EXPECT_EQ(unchanged[1], sent) << log[log_start + 1];
    EXPECT_NE(ok[5], "-") << log[log_start];
    EXPECT_EQ(unchanged[3], ok[5]) << log[log_start + 1];
}

namespace {

// A fresh folder of the test's own, gone with everything in it afterwards.
struct RFolder {
    RFolder()
        : path(std::filesystem::temp_directory_path() /
               ("pelikant_seen_" + std::to_string(GetCurrentProcessId()))) {
        std::filesystem::create_directories(path);
    }
    ~RFolder() { std::filesystem::remove_all(path, ignored); }
    std::wstring file(const wchar_t* name) const { return (path / name).wstring(); }
    std::filesystem::path path;
    std::error_code ignored;
};

std::vector<RForumRow> topics_feed(const std::vector<std::pair<int, int>>& topics) {
    std::vector<RForumRow> rows;
    for (const auto& t : topics) {
        rows.emplace_back();
        rows.back().id = t.first;
        rows.back().posts = t.second;
    }
    return rows;
}

// The file's text read back as it would be after a restart.
CSeenTopics restarted(const CSeenTopics& seen) {
    CSeenTopics read;
    EXPECT_EQ(read_seen_text(seen_text(seen, SITE), SITE, read), ESeenText::GOOD);
    return read;
}

} // namespace

// What is new for the user and what a balloon says of it, through a run of feeds, opened topics,
// restarts and busy times. A step is one of: a feed ("f": id:posts:update, ...), an opened topic
// ("o" id), everything marked read ("a"), a restart through the file ("r") or with nothing kept
// ("R"), a feed while the user is busy ("h"), the busy time's end ("e"), a topic followed ("b"
// id), muted ("m" id) or neither ("u" id), only followed topics told of, or all again ("t").
TEST(News, WhatIsNewForTheUserAndWhenABalloonTellsOfIt) {
    struct RStep {
        char what;
        std::vector<std::array<int, 3>> topics; // a feed's, or one id to open
        std::vector<int> new_posts;             // each topic's afterwards
        std::wstring balloon;                   // title|text|topic, empty for none
        int counted = -1;                       // new posts counted, when given
    };
    const std::wstring site = L"http://127.0.0.1:8765 (Postów: ";
    struct RCase {
        const char* name;
        std::vector<RStep> steps;
    } cases[] = {
        {"the first start ever: the first feed counts as seen", {{'f', {{1, 5, 1}, {2, 3, 2}}, {0, 0}, L""}}},
        {"a new topic: all its posts",
         {{'f', {{1, 5, 1}}, {0}, L""}, {'f', {{3, 2, 0}, {1, 5, 1}}, {2, 0}, site + L"2)|t3|3"}}},
        {"fewer posts than seen, or none at all",
         {{'f', {{1, 5, 1}}, {0}, L""}, {'f', {{1, 3, 1}, {2, 0, 2}, {3, -3, 3}}, {0, 0, 0}, L""}}},
        {"a grown topic, told once",
         {{'f', {{1, 5, 1}, {2, 3, 2}}, {0, 0}, L""},
          {'f', {{1, 7, 3}, {2, 3, 2}}, {2, 0}, site + L"7)|t1|1"},
          {'f', {{1, 7, 3}, {2, 3, 2}}, {2, 0}, L""}}},
        {"the latest of the grown ones",
         {{'f', {{1, 5, 1}, {2, 3, 2}}, {0, 0}, L""},
          {'f', {{1, 7, 3}, {2, 4, 9}}, {2, 1}, L"3 nowe posty w 2 tematach|t2\nt1|-1"}}},
        {"an opened topic, until it grows again",
         {{'f', {{1, 5, 1}}, {0}, L""},
          {'f', {{1, 7, 3}}, {2}, site + L"7)|t1|1"},
          {'o', {{1}}, {0}, L""},
          {'f', {{1, 7, 3}}, {0}, L""},
          {'f', {{1, 8, 4}}, {1}, site + L"8)|t1|1"}}},
        {"everything marked read",
         {{'f', {{1, 5, 1}}, {0}, L""},
          {'f', {{1, 6, 1}, {2, 1, 0}}, {1, 1}, L"2 nowe posty w 2 tematach|t1\nt2|-1"},
          {'a', {}, {0, 0}, L""}}},
        {"a topic that left the feed and came back",
         {{'f', {{1, 5, 1}, {2, 3, 2}}, {0, 0}, L""},
          {'f', {{1, 5, 1}}, {0}, L""},
          {'f', {{1, 5, 1}, {2, 3, 2}}, {0, 0}, L""},
          {'f', {{1, 5, 1}}, {0}, L""},
          {'f', {{2, 4, 5}, {1, 5, 1}}, {1, 0}, site + L"4)|t2|2"}}},
        {"a reordered feed is no news",
         {{'f', {{1, 5, 1}, {2, 3, 2}}, {0, 0}, L""}, {'f', {{2, 3, 2}, {1, 5, 1}}, {0, 0}, L""}}},
        {"posts while off",
         {{'f', {{1, 5, 1}, {2, 3, 2}}, {0, 0}, L""},
          {'r', {}, {}, L""},
          {'f',
           {{1, 9, 3}, {2, 3, 2}, {4, 1, 7}},
           {4, 0, 1},
           L"5 nowych postów od ostatniego uruchomienia|t4\nt1|-1"},
          {'f', {{1, 9, 3}, {2, 3, 2}, {4, 1, 7}}, {4, 0, 1}, L""}}},
        {"nothing while off",
         {{'f', {{1, 5, 1}}, {0}, L""}, {'r', {}, {}, L""}, {'f', {{1, 5, 1}}, {0}, L""}}},
        {"a list that could not be kept: a fresh start",
         {{'f', {{1, 5, 1}}, {0}, L""}, {'R', {}, {}, L""}, {'f', {{1, 9, 3}, {2, 1, 1}}, {0, 0}, L""}}},
        {"a first run that never had a feed: the next one's first feed is still seen",
         {{'R', {}, {}, L""},
          {'f', {}, {}, L""},
          {'r', {}, {}, L""},
          {'f', {{1, 57, 1}, {2, 3, 2}}, {0, 0}, L""}}},
        {"an older topic back in the feed: one post",
         {{'f', {{5, 3, 1}, {9, 2, 2}}, {0, 0}, L""},
          {'f', {{7, 57, 3}, {9, 2, 2}}, {1, 0}, site + L"57)|t7|7"},
          {'f', {{7, 58, 4}, {9, 2, 2}}, {2, 0}, site + L"58)|t7|7"}}},
        {"a deleted post, then a reply",
         {{'f', {{1, 5, 1}}, {0}, L""},
          {'f', {{1, 4, 1}}, {0}, L""},
          {'f', {{1, 5, 2}}, {1}, site + L"5)|t1|1"}}},
        {"a deleted post among the unread: only the reply after it came",
         {{'f', {{1, 5, 1}}, {0}, L""},
          {'f', {{1, 7, 2}}, {2}, site + L"7)|t1|1"},
          {'f', {{1, 6, 2}}, {1}, L""},
          {'f', {{1, 7, 3}}, {2}, site + L"7)|t1|1"}}},
        {"a restart with unread topics and nothing new: silent",
         {{'f', {{1, 5, 1}}, {0}, L""},
          {'f', {{1, 7, 2}}, {2}, site + L"7)|t1|1"},
          {'r', {}, {}, L""},
          {'f', {{1, 7, 2}}, {2}, L""},
          {'r', {}, {}, L""},
          {'f', {{1, 8, 3}}, {3}, L"1 nowy post od ostatniego uruchomienia|t1|1"}}},
        {"an empty feed changes nothing; what left and came back unchanged is no news",
         {{'f', {{1, 5, 1}, {2, 3, 2}}, {0, 0}, L""},
          {'f', {}, {}, L""},
          {'f', {{2, 3, 2}}, {0}, L""},
          {'f', {{1, 6, 3}, {2, 3, 2}}, {1, 0}, site + L"6)|t1|1"}}},
        {"held while busy, then summed up once",
         {{'f', {{1, 5, 1}, {2, 3, 2}}, {0, 0}, L""},
          {'h', {{1, 6, 3}, {2, 3, 2}}, {1, 0}, L""},
          {'h', {{1, 6, 3}, {2, 5, 4}}, {1, 2}, L""},
          {'e', {}, {1, 2}, L"W międzyczasie: 3 nowe posty w 2 tematach|t2\nt1|-1"},
          {'e', {}, {1, 2}, L""}}},
        {"a muted topic: neither counted nor told of, and unmuted it starts from where it is",
         {{'f', {{1, 5, 1}, {2, 3, 2}}, {0, 0}, L""},
          {'f', {{1, 7, 3}, {2, 3, 2}}, {2, 0}, site + L"7)|t1|1"},
          {'m', {{1}}, {0, 0}, L"", 0},
          {'f', {{1, 9, 4}, {2, 4, 5}}, {0, 1}, site + L"4)|t2|2", 1},
          {'u', {{1}}, {0, 1}, L"", 1},
          {'f', {{1, 10, 6}, {2, 4, 5}}, {1, 1}, site + L"10)|t1|1", 2}}},
        {"only followed ones told of: the others marked, neither counted nor told of",
         {{'f', {{1, 5, 1}, {2, 3, 2}, {3, 1, 1}}, {0, 0, 0}, L""},
          {'b', {{2}}, {0, 0, 0}, L""},
          {'t', {}, {0, 0, 0}, L""},
          {'f', {{1, 6, 3}, {2, 3, 2}, {3, 1, 1}}, {1, 0, 0}, L"", 0},
          {'f', {{1, 6, 3}, {2, 5, 4}, {3, 1, 1}}, {1, 2, 0}, site + L"5)|t2|2", 2},
          {'r', {}, {}, L""},
          {'f', {{1, 7, 5}, {2, 5, 4}, {3, 2, 1}}, {2, 2, 1}, L"", 2},
          {'t', {}, {2, 2, 1}, L"", 5}}},
        {"posts in three topics: one balloon names them all, latest first",
         {{'f', {{1, 5, 1}, {2, 3, 2}, {3, 1, 1}}, {0, 0, 0}, L""},
          {'f',
           {{1, 6, 3}, {2, 4, 5}, {3, 2, 4}},
           {1, 1, 1},
           L"3 nowe posty w 3 tematach|t2\nt3\nt1|-1",
           3}}},
        {"opened while held: nothing left to tell",
         {{'f', {{1, 5, 1}}, {0}, L""},
          {'h', {{1, 6, 3}}, {1}, L""},
          {'o', {{1}}, {0}, L""},
          {'e', {}, {0}, L""}}},
    };
    for (const RCase& c : cases) {
        CSeenTopics seen;
        CNews news(seen, SITE);
        news.begin();
        for (size_t n = 0; n < c.steps.size(); ++n) {
            const RStep& step = c.steps[n];
            RBalloon balloon;
            bool told = false;
            std::vector<RForumRow> rows;
            for (const auto& t : step.topics) {
                rows.emplace_back();
                rows.back().id = t[0];
                rows.back().posts = t[1];
                rows.back().update = std::to_wstring(t[2]);
                rows.back().title = L"t" + std::to_wstring(t[0]);
            }
            switch (step.what) {
            case 'f':
            case 'h':
                told = news.take(rows, step.what == 'h', balloon);
                break;
            case 'o':
                news.open(step.topics[0][0]);
                break;
            case 'a':
                news.open_all();
                break;
            case 'e':
                told = news.release(balloon);
                break;
            case 'b':
            case 'm':
            case 'u':
                news.set_follow(step.topics[0][0], step.what == 'b'   ? EFollow::FOLLOWED
                                                   : step.what == 'm' ? EFollow::MUTED
                                                                      : EFollow::NONE);
                break;
            case 't':
                news.set_only_followed(!news.only_followed());
                break;
            default: // a restart: what was seen is kept ('r') or lost ('R')
                seen = step.what == 'R' ? CSeenTopics() : restarted(seen);
                news.begin();
                continue;
            }
            std::vector<int> marked;
            for (const RForumRow& row : news.topics()) {
                marked.push_back(row.new_posts);
            }
            EXPECT_EQ(marked, step.new_posts) << c.name << " " << n;
            const std::wstring said =
                told ? balloon.title + L"|" + balloon.text + L"|" + std::to_wstring(balloon.topic_id) : L"";
            EXPECT_EQ(said, step.balloon) << c.name << " " << n;
            EXPECT_TRUE(step.counted < 0 || news.count().posts == step.counted) << c.name << " " << n;
        }
    }
}

// A balloon about several topics names as many as fit in its 255 characters, at least three (cut
// to their share when even three do not fit whole), then how many others.
TEST(News, ABalloonNamesAsManyTopicsAsFit) {
    const struct RCase {
        size_t topics, title_length, lines;
        std::wstring last;
    } cases[] = {
        {10, 20, 10, L"t9999999999999999999"},
        {10, 60, 5, L"i 6 innych"},
        {23, 60, 5, L"i 19 innych"},
        {5, 120, 4, L"i 2 inne"},
        {3, 200, 3, L"…"},
        {4, 90, 4, L"i 1 inny"},
    };
    for (const RCase& c : cases) {
        CSeenTopics seen;
        CNews news(seen, SITE);
        std::vector<RForumRow> rows;
        for (size_t i = 0; i < c.topics; ++i) {
            rows.push_back(topics_feed({{static_cast<int>(i), 1}})[0]);
            rows.back().title = L"t" + std::wstring(c.title_length - 1, L'0' + i % 10);
            rows.back().update = std::to_wstring(900 - i); // the first the latest
        }
        RBalloon balloon;
        news.take(rows, false, balloon);
        std::for_each(rows.begin(), rows.end(), [](RForumRow& row) { row.posts = 2; });
        ASSERT_TRUE(news.take(rows, false, balloon)) << c.topics;
        const std::wstring& text = balloon.text;
        EXPECT_LE(text.size(), MAX_BALLOON_TEXT) << c.topics;
        EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), L'\n')) + 1, c.lines) << c.topics;
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), c.last.size())), c.last) << c.topics;
        EXPECT_EQ(balloon.topic_id, -1);
    }
}

TEST(SeenTopics, PolishPlurals) {
    struct RCase {
        std::int64_t posts, topics;
        const wchar_t *posts_word, *topics_word;
    } cases[] = {
        {1, 1, L"nowy post", L"temacie"},        {2, 2, L"nowe posty", L"tematach"},
        {4, 1, L"nowe posty", L"temacie"},       {5, 5, L"nowych postów", L"tematach"},
        {11, 11, L"nowych postów", L"tematach"}, {12, 3, L"nowych postów", L"tematach"},
        {14, 14, L"nowych postów", L"tematach"}, {21, 21, L"nowych postów", L"tematach"},
        {22, 22, L"nowe posty", L"tematach"},    {25, 2, L"nowych postów", L"tematach"},
        {101, 1, L"nowych postów", L"temacie"},  {112, 4, L"nowych postów", L"tematach"},
        {122, 100, L"nowe posty", L"tematach"},
    };
    for (const RCase& c : cases) {
        const std::wstring posts = std::to_wstring(c.posts) + L" " + c.posts_word;
        EXPECT_EQ(new_posts_line({c.posts, c.topics}),
                  posts + L" w " + std::to_wstring(c.topics) + L" " + c.topics_word);
        EXPECT_EQ(new_since_start_line(c.posts), posts + L" od ostatniego uruchomienia");
    }
    EXPECT_EQ(new_posts_line({0, 0}), L"Brak nowych postów");
    EXPECT_EQ(new_since_start_line(0), L"Brak nowych postów od ostatniego uruchomienia");
}

// The counting rules against a model of them, over random feeds, opened, followed and muted
// topics, restarts through the file and feeds without topics. The model keeps, per topic met, the
// posts seen and the posts its last feed showed, when it was last met, and what the user asked.
TEST(SeenTopics, CountsAsAModelOfTheRulesDoesOverRandomSteps) {
    struct RModel {
        struct RTopic {
            int seen, known;
            std::uint64_t met;
            EFollow follow;
        };
        std::map<int, RTopic> topics;
        bool fed = false;
        int highest = -1;
        std::uint64_t clock = 0;
        void drop() { // the plain topic met longest ago, while there are too many
            for (;;) {
                auto oldest = topics.end();
                size_t plain = 0;
                for (auto at = topics.begin(); at != topics.end(); ++at) {
                    const bool older = oldest == topics.end() || at->second.met < oldest->second.met;
                    oldest = at->second.follow == EFollow::NONE && ++plain && older ? at : oldest;
                }
                if (plain <= CSeenTopics::MAX_TOPICS) {
                    return;
                }
                topics.erase(oldest);
            }
        }
        int feed(int id, int count, int before) { // what came
            highest = std::max(highest, id);
            const auto kept = topics.find(id);
            if (kept == topics.end()) {
                const int came = !fed ? 0 : id > before ? count : std::min(count, 1);
                topics[id] = {count - came, count, clock, EFollow::NONE};
                return came;
            }
            RTopic& topic = kept->second;
            topic.seen = topic.follow == EFollow::MUTED ? count : std::min(topic.seen, count);
            const int came = !fed ? 0 : std::min(std::max(count - topic.known, 0), count - topic.seen);
            topic = {!fed ? count : topic.seen, count, clock, topic.follow};
            return came;
        }
        int new_posts(int id, int posts) const {
            const auto kept = topics.find(id);
            return kept == topics.end()                    ? posts
                   : kept->second.follow == EFollow::MUTED ? 0
                                                           : std::max(posts - kept->second.seen, 0);
        }
    };
    std::mt19937 random(20261209);
    const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    RModel model;
    CSeenTopics seen;
    std::map<int, int> forum, shown; // every topic's posts on the site; the last feed's
    int next_id = 100;
    for (int step = 0; step < 10000; ++step) {
        const int what = below(100);
        const auto any_shown = [&] {
            return std::next(shown.begin(), below(static_cast<int>(shown.size())));
        };
        if (what < 70) {
            // The site moves on: new topics, replies, deletions; the feed shows a recent part, or
            // nothing at all now and then.
            for (int n = below(4); n > 0; --n) {
                forum[next_id++] = below(30);
            }
            for (int n = below(6); n > 0; --n) {
                auto topic = std::next(forum.begin(), below(static_cast<int>(forum.size())));
                topic->second = std::max(0, topic->second + below(5) - (below(4) == 0 ? 3 : 0));
            }
            std::map<int, int> feed;
            const int from = below(6) == 0 ? 0 : std::max(0, next_id - 100 - below(2500));
            for (auto at = forum.lower_bound(from + 100); at != forum.end() && feed.size() < 40; ++at) {
                if (below(3) != 0) {
                    feed.insert(*at);
                }
            }
            feed = below(20) == 0 ? std::map<int, int>() : feed;
            const std::vector<RForumRow> rows = topics_feed({feed.rbegin(), feed.rend()});
            const std::vector<std::int32_t> came = seen.take(rows);
            const int before = model.highest;
            model.clock += feed.empty() ? 0 : 1;
            for (size_t i = 0; i < rows.size(); ++i) {
                ASSERT_EQ(came[i], model.feed(rows[i].id, rows[i].posts, before))
                    << step << " " << rows[i].id;
                ASSERT_EQ(seen.new_posts(rows[i]), model.new_posts(rows[i].id, rows[i].posts)) << step;
            }
            model.fed = model.fed || !feed.empty();
            model.drop();
            shown = feed.empty() ? shown : feed;
        } else if (what < 85 && !shown.empty()) {
            const auto opened = any_shown();
            seen.see(opened->first, opened->second);
            model.topics[opened->first] = {opened->second,
                                           std::max(model.topics[opened->first].known, opened->second),
                                           ++model.clock, model.topics[opened->first].follow};
            model.drop();
        } else if (what < 86 && !shown.empty()) {
            const int id = any_shown()->first;
            const EFollow follow = static_cast<EFollow>(below(3));
            ASSERT_TRUE(seen.set_follow(id, follow));
            RModel::RTopic& topic = model.topics[id];
            if (topic.follow != follow) {
                topic = {follow == EFollow::MUTED ? topic.known : topic.seen, topic.known, ++model.clock,
                         follow};
                model.drop();
            }
        } else if (what < 88) {
            seen.see_all();
            for (auto& kept : model.topics) {
                kept.second.seen = kept.second.known;
            }
        } else {
            seen = restarted(seen); // it keeps the order in which topics were met, not the times
            model.clock = 0;
            for (const CSeenTopics::RTopic& topic : seen.in_order()) {
                model.topics[topic.id].met = ++model.clock;
            }
        }
        ASSERT_EQ(seen.size(), model.topics.size()) << "step " << step;
        ASSERT_EQ(seen.fed(), model.fed);
        for (const CSeenTopics::RTopic& topic : seen.in_order()) {
            ASSERT_EQ(topic.follow, model.topics[topic.id].follow)
                << "step " << step << " topic " << topic.id;
        }
    }
    EXPECT_GT(seen.size(), 1000u) << "the limit was never reached";
}

TEST(SeenFile, TheTextKeepsEveryCountTheOrderAndTheLimitAndReadsTheFirstVersion) {
    CSeenTopics seen;
    for (int feed = 0; feed < 2001; ++feed) {
        seen.take(topics_feed({{feed + 10, feed % 13}}));
    }
    EXPECT_EQ(seen.size(), 2000u);
    EXPECT_EQ(seen.find(10), nullptr) << "met longest ago, dropped";
    EXPECT_TRUE(seen.pause_until(0x01DC5A0B12345678));
    const CSeenTopics read = restarted(seen);
    EXPECT_EQ(seen_text(read, SITE), seen_text(seen, SITE));
    EXPECT_EQ(read.highest_id(), 2010);
    EXPECT_EQ(read.in_order().front().id, 11);
    // Dropped, and back in the feed with a reply: one post, not all its posts.
    CSeenTopics again = read;
    EXPECT_EQ(again.take(topics_feed({{10, 57}})), std::vector<std::int32_t>{1});

    // Every cut and every changed byte is damage.
    CSeenTopics small;
    small.take(topics_feed({{7, 12}, {3, 0}}));
    small.take(topics_feed({{7, 14}}));
    small.pause_until(133000000000000000);
    const std::string text = seen_text(small, SITE);
    for (size_t n = 0; n < text.size(); ++n) {
        CSeenTopics out;
        EXPECT_EQ(read_seen_text(text.substr(0, n), SITE, out), ESeenText::BAD) << "cut at " << n;
        for (char flip : {'\x01', '\x30'}) {
            std::string garbled = text;
            garbled[n] ^= flip;
            EXPECT_NE(read_seen_text(garbled, SITE, out), ESeenText::GOOD) << "garbled at " << n;
        }
    }

    // Follows and mutes stay whatever the limit drops, and stop at their own limit.
    CSeenTopics marked = read;
    for (int id = 11; id <= 2010; ++id) {
        ASSERT_TRUE(marked.set_follow(id, id % 2 == 0 ? EFollow::FOLLOWED : EFollow::MUTED));
    }
    marked.take(topics_feed({{5000, 1}, {5001, 1}}));
    EXPECT_FALSE(marked.set_follow(5000, EFollow::FOLLOWED) || marked.set_follow(5001, EFollow::MUTED));
    EXPECT_EQ(marked.size(), 2002u);
    EXPECT_EQ(marked.follow(11), EFollow::MUTED);
    EXPECT_EQ(restarted(marked).in_order().front().follow, EFollow::MUTED);

    const std::string site = std::string("site ") + SITE + "\n";
    const struct RCase {
        const char* name;
        std::string text;
        ESeenText read;
        const char* state; // what was read: fed, highest id, whom to tell; topics met longest ago first
    } cases[] = {
        {"the first version: known is what was seen",
         "pelikant-seen 1\n7 12\n3 0\npaused 5\nend 2 efe49aac\n", ESeenText::GOOD,
         "1 7 all: 7 12 12 0, 3 0 0 0"},
        {"the first version without topics never took a feed", "pelikant-seen 1\npaused 0\nend 0 db45f6d9\n",
         ESeenText::GOOD, "0 -1 all:"},
        {"the second version", "pelikant-seen 2\n" + site + "fed 1 9\n4 2 3\npaused 0\nend 1 b6454013\n",
         ESeenText::GOOD, "1 9 all: 4 2 3 0"},
        {"this version",
         "pelikant-seen 3\n" + site +
             "fed 1 9\nnotify followed\n4 2 3 followed\n5 1 1 muted\n6 0 2\npaused 0\nend 3 4b9149d6\n",
         ESeenText::GOOD, "1 9 followed: 4 2 3 1, 5 1 1 2, 6 0 2 0"},
        {"the second version followed nothing",
         "pelikant-seen 2\n" + site + "fed 1 9\n4 2 3 followed\npaused 0\nend 1 17b48706\n", ESeenText::BAD,
         "0 -1 all:"},
        {"whom to tell, misspelt",
         "pelikant-seen 3\n" + site + "fed 1 9\nnotify some\npaused 0\nend 0 df6906c2\n", ESeenText::BAD,
         "0 -1 all:"},
        {"seen beyond what the feed showed",
         "pelikant-seen 2\n" + site + "fed 1 9\n4 3 2\npaused 0\nend 1 aa5d4656\n", ESeenText::BAD,
         "0 -1 all:"},
        {"a repeated topic", "pelikant-seen 2\n" + site + "fed 1 9\n4 2 3\n4 2 3\npaused 0\nend 2 d765fba7\n",
         ESeenText::BAD, "0 -1 all:"},
        {"another site's", "pelikant-seen 2\nsite http://example.org\nfed 1 9\npaused 0\nend 0 b3091214\n",
         ESeenText::OTHER_SITE, "0 -1 all:"},
        {"a later version's", "pelikant-seen 9\nwhatever it holds", ESeenText::NEWER, "0 -1 all:"},
        {"a number too long for any version", "pelikant-seen 30000000000\n", ESeenText::BAD, "0 -1 all:"},
        {"CR LF", "pelikant-seen 1\r\npaused 0\nend 0 db45f6d9\n", ESeenText::BAD, "0 -1 all:"},
    };
    for (const RCase& c : cases) {
        CSeenTopics out;
        EXPECT_EQ(read_seen_text(c.text, SITE, out), c.read) << c.name;
        std::string state = std::to_string(out.fed()) + ' ' + std::to_string(out.highest_id()) +
                            (out.only_followed() ? " followed:" : " all:");
        for (const CSeenTopics::RTopic& topic : out.in_order()) {
            state += (state.back() == ':' ? " " : ", ") + std::to_string(topic.id) + ' ' +
                     std::to_string(topic.seen) + ' ' + std::to_string(topic.known) + ' ' +
                     std::to_string(static_cast<int>(topic.follow));
        }
        EXPECT_EQ(state, c.state) << c.name;
    }
}

// What a start finds in the folder, and what the file holds after the run has seen one topic. A
// file is left as it was when it is not this version's or this site's, or cannot be read; a
// damaged one is kept beside; a whole temporary, left by a write that could not take the file's
// place, is taken when the file is missing or damaged.
TEST(SeenFile, EveryStartFindsWhatWasKeptOrLeavesAloneWhatIsNotItsOwn) {
    CSeenTopics kept;
    kept.take(topics_feed({{7, 12}, {3, 0}}));
    // By letter: g this site's state with topic 7, b the same cut short, n a later version's, o
    // another site's, 1 the first version's with topic 7; '-' no file, '.' this run's state.
    const std::map<char, std::string> texts = {{'g', seen_text(kept, SITE)},
                                               {'b', seen_text(kept, SITE).substr(0, 40)},
                                               {'n', "pelikant-seen 9\n"},
                                               {'o', seen_text(CSeenTopics(), "http://example.org")},
                                               {'1', "pelikant-seen 1\n7 12\npaused 0\nend 1 793a264e\n"},
                                               {'-', ""}};
    const struct RCase {
        const char* name;
        const char* found; // the file, the temporary, the earlier version's file
        CSeenFile::Load load;
        const char* after; // topic 7 read (7 or -), the file after a run, the damaged copy beside
    } cases[] = {
        {"nothing", "---", CSeenFile::NO_FILE, "-.-"},
        {"its file", "gbg", CSeenFile::LOADED, "7.-"},
        {"the file an earlier version kept for every site", "--1", CSeenFile::LOADED, "7.-"},
        {"a damaged file", "b-g", CSeenFile::BAD, "-.b"},
        {"a damaged file and a whole temporary", "bg-", CSeenFile::LOADED, "7.b"},
        {"no file and a whole temporary", "-g-", CSeenFile::LOADED, "7.-"},
        {"no file and a cut temporary", "-b-", CSeenFile::NO_FILE, "-.-"},
        {"a later version's", "ng-", CSeenFile::NEWER, "-n-"},
        {"another site's", "og-", CSeenFile::OTHER_SITE, "-o-"},
    };
    RFolder folder;
    const std::wstring path = folder.file(seen_file_name(SITE).c_str());
    const auto put = [&](const std::wstring& to, char what) {
        std::filesystem::remove(to);
        if (what != '-') {
            std::ofstream(std::filesystem::path(to), std::ios::binary) << texts.at(what);
        }
    };
    const auto disk = [](const std::wstring& from) {
        std::ifstream in{std::filesystem::path(from), std::ios::binary};
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (const RCase& c : cases) {
        put(path, c.found[0]);
        put(files::temporary_path(path), c.found[1]);
        put(folder.file(L"older.txt"), c.found[2]);
        CSeenFile file(folder.path.wstring(), SITE, L"older.txt", nullptr);
        EXPECT_EQ(file.load(), c.load) << c.name;
        EXPECT_EQ(file.topics().find(7) != nullptr, c.after[0] == '7') << c.name;
        EXPECT_EQ(disk(file.damaged_path()), texts.at(c.after[2])) << c.name;
        std::filesystem::remove(file.damaged_path());
        file.topics().take(topics_feed({{1, 2}}));
        file.finish(5000);
        EXPECT_EQ(disk(path), c.after[1] == '.' ? seen_text(file.topics(), SITE) : texts.at(c.after[1]))
            << c.name;
    }

    // Held by another program: tried again while the patience lasts, then left alone.
    put(path, 'g');
    const HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread release([&] {
        Sleep(300);
        CloseHandle(held);
    });
    CSeenFile patient(folder.path.wstring(), SITE, L"", nullptr);
    EXPECT_EQ(patient.load(5000), CSeenFile::LOADED);
    release.join();
    const HANDLE still = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    CSeenFile impatient(folder.path.wstring(), SITE, L"", nullptr);
    EXPECT_EQ(impatient.load(200), CSeenFile::UNREADABLE);
    CloseHandle(still);
    impatient.topics().take(topics_feed({{1, 2}}));
    impatient.finish(5000);
    EXPECT_EQ(disk(path), texts.at('g'));

    // No folder: nothing is written anywhere, not even beside the program.
    std::filesystem::remove(files::temporary_path(L""));
    CSeenFile nowhere(L"", SITE, L"older.txt", nullptr);
    EXPECT_EQ(nowhere.load(), CSeenFile::NO_FOLDER);
    nowhere.topics().take(topics_feed({{1, 2}}));
    nowhere.finish(5000);
    EXPECT_FALSE(nowhere.keeping());
    EXPECT_FALSE(std::filesystem::exists(files::temporary_path(L"")));
}

// A program killed at any instant while it saves leaves its file, as the next start reads it, the
// state before or the state after, whole: never older than what the start before read, never a
// mixture. PELIKANT_KILL_RUNS sets how many kills (50).
TEST(SeenFile, AKillAtAnyInstantLeavesTheOldStateOrTheNewOneWhole) {
    const char* runs_text = std::getenv("PELIKANT_KILL_RUNS");
    const int runs = runs_text != nullptr ? std::atoi(runs_text) : 50;
    RFolder folder;
    std::mt19937 random(static_cast<unsigned>(GetTickCount()));
    std::int64_t last = 0;
    int read = 0, temporaries = 0;
    for (int run = 0; run < runs; ++run) {
        {
            CProcess saver(beside_test("saver.exe"),
                           "\"" + folder.path.string() + "\" " + std::to_string(last + 1));
            ASSERT_TRUE(saver.started());
            Sleep(200 + random() % 400);
            TerminateProcess(saver.process(), 1);
            ASSERT_NE(saver.wait(10000), -1);
        }
        temporaries += std::filesystem::exists(folder.path / (seen_file_name(SITE) + L".tmp")) ? 1 : 0;
        CSeenFile file(folder.path.wstring(), SITE, L"", nullptr);
        const CSeenFile::Load load = file.load();
        ASSERT_TRUE(load == CSeenFile::LOADED || (load == CSeenFile::NO_FILE && last == 0)) << "run " << run;
        if (load == CSeenFile::NO_FILE) {
            continue;
        }
        const std::int64_t number = file.topics().paused_until();
        ASSERT_GE(number, last) << "run " << run << ": older than what was read before";
        const std::vector<CSeenTopics::RTopic> topics = file.topics().in_order();
        ASSERT_EQ(topics.size(), 2000u) << "run " << run;
        for (const CSeenTopics::RTopic& topic : topics) {
            ASSERT_TRUE(topic.seen == number && topic.known == number) << "run " << run << ": a mixture";
        }
        last = number;
        ++read;
    }
    std::printf("%d kills: %d read a state, %d left a temporary, %lld states written\n", runs, read,
                temporaries, static_cast<long long>(last));
    EXPECT_GT(read, runs / 2);
}

// The scripted server fails in turn: a 503, a closed connection, a 429 with a Retry-After, and
// then a feed.
TEST(ForumPolls, FailuresBackOffAndTheFirstGoodAnswerEndsTheWaits) {
    const std::string site = env("PELIKANT_TEST_SERVER");
    ASSERT_FALSE(site.empty()) << "PELIKANT_TEST_SERVER is not set; run the tests with tools/test.sh";
    feed_server::get(site, "/t/clear");
    feed_server::get(site, "/t/feed?as=" + feed_server::escape("/t/sequence?answers=503,close,429:600,200"));
    struct RStep {
        RFeedCheck::Outcome outcome;
        long status;
        int failures;
        std::int64_t shortest_ms, longest_ms; // of the wait after it
    } steps[] = {
        {RFeedCheck::HTTP_ERROR, 503, 1, 108000, 132000},
        {RFeedCheck::NO_CONNECTION, 0, 2, 216000, 264000},
        {RFeedCheck::HTTP_ERROR, 429, 3, 600000, 600000},
        {RFeedCheck::FEED, 200, 0, 0, 0},
    };
    RPoller poller(site);
    std::int64_t tick = poller.now();
    for (const RStep& step : steps) {
        const std::int64_t before = poller.now();
        const RFeedCheck check = poller.poll(tick);
        const std::int64_t after = poller.now();
        EXPECT_EQ(check.outcome, step.outcome) << step.status;
        EXPECT_EQ(check.http_status, step.status);
        const CPollSchedule schedule = poller.handler.schedule();
        EXPECT_EQ(schedule.failures(), step.failures) << step.status;
        EXPECT_GE(schedule.due_ms(), before + step.shortest_ms) << step.status;
        EXPECT_LE(schedule.due_ms(), after + step.longest_ms) << step.status;
        if (step.failures > 0) {
            EXPECT_EQ(poller.poll(schedule.due_ms() - TICK_SLACK_MS - 1).http_status, -2) << "not skipped";
        }
        tick = schedule.due_ms() + 1;
    }
    feed_server::get(site, "/t/feed");
}
