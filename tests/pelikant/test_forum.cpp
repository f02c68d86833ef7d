// The forum monitor on hand-made feeds: the change rule, the latest topic and its balloon, the
// last feed, topic pages, the list's image rule and the notifications it takes.
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "nexum/download.h"
#include "pelikant/handle_nexum.h"
#include "pelikant/parse_xml.h"

using namespace pelikant;

namespace {

const char* const SITE = "http://127.0.0.1:8765";

std::string s(const string::weak_string<char>& text) {
    return text.is_empty() ? std::string() : std::string(text.c_str(), static_cast<size_t>(text.length()));
}

struct RT {
    int id, posts, last_user;
    bool visited = false;
    const char* update = "2026-12-08 10:00";
    const char* title = "t";
    bool open = true;
};

std::string feed(const std::vector<RT>& topics) {
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

// Records what the monitor asks of the application.
class CFakeView : public IForumView {
public:
    struct RBalloonCall {
        std::string title, text;
    };

    void announce(const string::weak_string<char>& title, const string::weak_string<char>& text) override {
        check_unlocked();
        balloons.push_back({s(title), s(text)});
    }
    void feed_replaced() override {
        check_unlocked();
        ++replaced;
    }
    void open_url(const string::weak_string<char>& url) override {
        check_unlocked();
        urls.push_back(s(url));
    }
    void feed_checked(const RFeedCheck& check) override {
        check_unlocked();
        checks.push_back(check);
    }

    // Another thread must be able to read the last feed while the view is called (the GUI thread
    // refilling the list). A held lock shows as a wait that times out; that reader is joined
    // later, once the lock is free, so the test fails instead of hanging.
    void check_unlocked() {
        if (handler == nullptr) {
            return;
        }
        HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::thread reader([this, done] {
            handler->visit_last([](const RForumFeed&) {});
            SetEvent(done);
        });
        if (WaitForSingleObject(done, 5000) == WAIT_OBJECT_0) {
            reader.join();
            CloseHandle(done);
        } else {
            ++locked_calls;
            pending.emplace_back(std::move(reader));
            pending_events.push_back(done);
        }
    }
    // Before the handler goes.
    void join_pending() {
        for (std::thread& reader : pending) {
            reader.join();
        }
        for (HANDLE done : pending_events) {
            CloseHandle(done);
        }
        pending.clear();
        pending_events.clear();
    }

    std::vector<RBalloonCall> balloons;
    int replaced = 0;
    std::vector<std::string> urls;
    std::vector<RFeedCheck> checks;
    CHandleNexum* handler = nullptr;
    int locked_calls = 0;
    std::vector<std::thread> pending;
    std::vector<HANDLE> pending_events;
};

std::vector<int> last_ids(CHandleNexum& handler) {
    std::vector<int> ids;
    handler.visit_last([&](const RForumFeed& f) {
        for (const RTopic& t : f.Topics) {
            ids.push_back(t.Id);
        }
    });
    return ids;
}

} // namespace

TEST(ForumChange, RuleComparesTopicsByPosition) {
    struct RCase {
        const char* name;
        std::vector<RT> previous, current;
        bool changed;
    } cases[] = {
        {"more posts", {{1, 5, 7}, {2, 3, 9}}, {{1, 5, 7}, {2, 4, 9}}, true},
        {"more posts, visited", {{1, 5, 7}, {2, 3, 9}}, {{1, 5, 7}, {2, 4, 9, true}}, false},
        {"same", {{1, 5, 7}, {2, 3, 9}}, {{1, 5, 7}, {2, 3, 9}}, false},
        {"other last user", {{1, 5, 7}}, {{1, 5, 8}}, true},
        {"other id", {{1, 5, 7}}, {{3, 5, 7}}, true},
        {"longer", {{1, 5, 7}, {2, 3, 9}}, {{1, 5, 7}, {2, 3, 9}, {3, 1, 1}}, true},
        {"shorter, equal prefix", {{1, 5, 7}, {2, 3, 9}, {3, 1, 1}}, {{1, 5, 7}, {2, 3, 9}}, false},
        {"swapped", {{1, 5, 7}, {2, 3, 9}}, {{2, 3, 9}, {1, 5, 7}}, true},
        {"swapped, both visited", {{1, 5, 7}, {2, 3, 9}}, {{2, 3, 9, true}, {1, 5, 7, true}}, false},
        {"title, date, open", {{1, 5, 7}}, {{1, 5, 7, false, "2027-01-01 00:00", "inny", false}}, false},
        {"now without topics", {{1, 5, 7}}, {}, false},
    };
    for (const RCase& c : cases) {
        CFakeView view;
        CHandleNexum handler(SITE, &view);
        handler.process_feed(feed(c.previous).c_str());
        EXPECT_TRUE(view.balloons.empty()) << c.name << ": the first feed is never announced";
        handler.process_feed(feed(c.current).c_str());
        EXPECT_EQ(view.balloons.size(), c.changed ? 1u : 0u) << c.name;
        EXPECT_EQ(view.replaced, 2) << c.name;
    }
}

TEST(ForumChange, FeedSequences) {
    const std::string a = feed({{1, 5, 7}, {2, 3, 9}});
    const std::string more = feed({{1, 6, 8}, {2, 3, 9}});
    const std::string none = feed({});
    struct RStep {
        const char* text;
        std::vector<int> last; // ids of the last feed afterwards
    };
    struct RCase {
        const char* name;
        std::vector<RStep> steps;
        size_t balloons;
        int replaced;
    } cases[] = {
        {"unparsable between equal feeds",
         {{a.c_str(), {1, 2}}, {"<Pelikant><Forum>", {1, 2}}, {a.c_str(), {1, 2}}},
         0,
         2},
        {"empty texts", {{a.c_str(), {1, 2}}, {"", {1, 2}}, {nullptr, {1, 2}}, {more.c_str(), {1, 2}}}, 1, 2},
        {"a feed without topics", {{a.c_str(), {1, 2}}, {none.c_str(), {}}, {more.c_str(), {1, 2}}}, 0, 3},
        {"a well-formed page that is no feed",
         {{a.c_str(), {1, 2}}, {"<html><body><h1>503</h1></body></html>", {1, 2}}, {more.c_str(), {1, 2}}},
         1,
         2},
        {"announced once", {{a.c_str(), {1, 2}}, {more.c_str(), {1, 2}}, {more.c_str(), {1, 2}}}, 1, 3},
    };
    for (const RCase& c : cases) {
        CFakeView view;
        CHandleNexum handler(SITE, &view);
        view.handler = &handler;
        for (const RStep& step : c.steps) {
            handler.process_feed(step.text);
            EXPECT_EQ(last_ids(handler), step.last) << c.name;
        }
        view.join_pending();
        EXPECT_EQ(view.balloons.size(), c.balloons) << c.name;
        EXPECT_EQ(view.replaced, c.replaced) << c.name;
        EXPECT_EQ(view.locked_calls, 0) << c.name << ": the view was called under the lock";
    }
}

TEST(ForumChange, ParserHandsItsFeedOverWithoutCopying) {
    CParseXml parser;
    ASSERT_TRUE(parser.parse(feed({{1, 5, 7}, {2, 3, 9}}).c_str()));
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
        size_t latest;
    } cases[] = {
        {{}, 0},
        {{L"A"}, 0},
        {{L"A", L"B", L"B"}, 1}, // ties keep the earlier
        {{L"B", L"A"}, 0},
        {{L"ab", L"abc", L"ab"}, 1},                    // a prefix is the smaller
        {{L"2026-12-08 9:59", L"2026-12-08 10:00"}, 0}, // text, not time
        {{L"z", L"\u00e9", L"\uffff", L"\u0142"}, 2},   // unsigned code units
        {{L"", L"", L"2026-12-08 10:00", L"2026-12-08 10:00:00"}, 3},
    };
    for (const RCase& c : cases) {
        std::vector<RTopic> topics(c.updates.size());
        for (size_t i = 0; i < topics.size(); ++i) {
            topics[i].UpdateDT = c.updates[i];
        }
        EXPECT_EQ(CHandleNexum::latest_topic(topics), c.latest) << c.updates.size();
    }
}

TEST(ForumBalloon, NamesTheLatestTopic) {
    CFakeView view;
    CHandleNexum handler(SITE, &view);
    handler.process_feed(feed({{1, 5, 7}, {2, 3, 9}, {3, 1, 1}}).c_str());
    handler.process_feed(feed({{1, 5, 7, false, "A", "pierwszy"},
                               {2, 4, 9, false, "B", "drugi"},
                               {3, 2, 1, false, "B", "trzeci"}})
                             .c_str());
    ASSERT_EQ(view.balloons.size(), 1u);
    EXPECT_EQ(view.balloons[0].text, "drugi");
    const std::string& title = view.balloons[0].title;
    EXPECT_EQ(title.rfind(std::string(SITE) + " (Post", 0), 0u) << title;
    EXPECT_EQ(title.substr(title.size() - 4), ": 4)") << title;
}

TEST(ForumBalloon, TextsInTheCodePageCutToTheTrayRecord) {
    const std::string long_site = "http://" + std::string(70, 'a') + ".pl";
    const std::string fallback = "Na forum pojawi\xb3y si\xea nowe wiadomo\x9c"
                                 "ci.";
    // 128 characters of two bytes each: 127 whole ones fit in 255 bytes.
    const std::wstring doubles(128, L'\u65e5'), polish(128, L'\u017c');
    std::string doubles_cut, polish_cut;
    for (int i = 0; i < 127; ++i) {
        doubles_cut += "\x93\xfa"; // code page 932
        polish_cut += "\xc5\xbc";  // UTF-8
    }
    struct RCase {
        const char* name;
        unsigned code_page;
        std::string site;
        int posts;
        std::wstring title;
        std::string balloon_title, balloon_text;
    } cases[] = {
        {"Polish", 1250, SITE, 12, L"Żółw", std::string(SITE) + " (Post\xf3w: 12)", "\xaf\xf3\xb3w"},
        {"empty title", 1250, SITE, -3, L"", std::string(SITE) + " (Post\xf3w: -3)", ""},
        {"long", 1250, long_site, 0, std::wstring(300, L'x'), long_site.substr(0, 63), std::string(255, 'x')},
        {"double-byte", 932, long_site, 1, doubles, long_site.substr(0, 63), doubles_cut},
        {"UTF-8", CP_UTF8, SITE, 1, polish, std::string(SITE) + " (Post\xc3\xb3w: 1)", polish_cut},
        {"no such code page", 12345, long_site, 1, L"x", long_site.substr(0, 63), fallback},
    };
    for (const RCase& c : cases) {
        RTopic topic;
        topic.PostCount = c.posts;
        topic.Title = c.title.c_str();
        RBalloon balloon;
        make_balloon(c.site.c_str(), topic, c.code_page, balloon);
        EXPECT_EQ(s(balloon.title), c.balloon_title) << c.name;
        EXPECT_EQ(s(balloon.text), c.balloon_text) << c.name;
    }
}

TEST(ForumList, ImageIndexRule) {
    struct RCase {
        bool open;
        int order_key;
        bool visited;
        int image;
    } cases[] = {
        {true, 0, false, 1},  {true, 0, true, 2},   {true, 1, false, 3},  {true, 5, true, 4},
        {false, 0, false, 5}, {false, 0, true, 6},  {false, 1, false, 7}, {false, 1, true, 8},
        {true, -3, false, 1}, {false, -3, true, 6}, // a negative key is not pinned
    };
    for (const RCase& c : cases) {
        RTopic topic;
        topic.IsOpen = c.open;
        topic.OrderKey = c.order_key;
        topic.Visited = c.visited;
        EXPECT_EQ(topic_image(topic), c.image) << c.open << " " << c.order_key << " " << c.visited;
    }
}

TEST(ForumList, OpenTopic) {
    CFakeView view;
    CHandleNexum handler(SITE, &view);
    view.handler = &handler;
    handler.open_topic(0); // no feed yet
    EXPECT_TRUE(view.urls.empty());
    handler.process_feed("<Pelikant><Forum><TopicContainer><Topic Id=\"7\"/><Topic/></TopicContainer></Forum>"
                         "</Pelikant>");
    for (int row : {-1, 2, 1, 0, 1000}) {
        handler.open_topic(row);
    }
    EXPECT_EQ(view.urls, (std::vector<std::string>{std::string(SITE) + "/forum/temat/?id=-1",
                                                   std::string(SITE) + "/forum/temat/?id=7"}));
    view.join_pending();
    EXPECT_EQ(view.locked_calls, 0);
    handler.set_view(nullptr);
    handler.open_topic(0);
    EXPECT_EQ(view.urls.size(), 2u);
}

TEST(ForumNotifications, OnlyFinishedDownloadsAreRead) {
    const std::string text = feed({{1, 5, 7}});
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
        CHandleNexum handler(SITE, c.with_view ? &view : nullptr);
        EXPECT_FALSE(handler.on_notification(c.note)) << c.name;
        EXPECT_EQ(view.replaced, c.replaced) << c.name;
        EXPECT_EQ(last_ids(handler), c.replaced ? std::vector<int>{1} : std::vector<int>{}) << c.name;
        delete c.note;
    }
}
