// The task engine against the project's scriptable HTTP server (tools/site.py), whose
// address the test runner passes in PELIKANT_TEST_SERVER.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>
#include <windows.h>

#include "feed_server.h"
#include "nexum/nexum.h"
#include "process_counts.h"

using namespace nexum;

namespace {

std::string server() {
    const char* url = std::getenv("PELIKANT_TEST_SERVER");
    return url != nullptr ? url : "";
}

// Whether done() holds within ms.
template <class F> bool wait_until(F done, int ms) {
    for (int waited = 0; !done() && waited < ms; waited += 10) {
        Sleep(10);
    }
    return done();
}

std::string body_of(CNotificationDownload* note) {
    memory::ChunkedMemory<char, 1024>& data = note->file.data;
    if (data.length() == 0) {
        return std::string();
    }
    data.linearize(0);
    return std::string(data.data(), static_cast<size_t>(data.length()));
}

struct RSeen {
    int kind;
    std::string body;
    std::string url;
    RAnswer answer;
};

// Records every notification; optionally keeps the finished downloads instead of letting the
// engine delete them.
class CRecorder : public INotifications {
public:
    bool on_notification(INotification* note) override {
        RSeen seen{note->type(), "", "", RAnswer()};
        if (CNotificationDownload* download = dynamic_cast<CNotificationDownload*>(note)) {
            seen.body = body_of(download);
            seen.url = download->url.c_str();
            seen.answer = download->answer;
        }
        std::lock_guard<std::mutex> guard(mutex_);
        seen_.push_back(seen);
        changed_.notify_all();
        if (throw_on == note->type()) {
            throw std::bad_alloc();
        }
        if (keep && note->type() == DownloadFinished) {
            kept.push_back(static_cast<CNotificationDownload*>(note));
            return true;
        }
        return false;
    }

    // Waits until count notifications have arrived (or 15 s passed); returns what arrived.
    std::vector<RSeen> wait_for(size_t count, int ms = 15000) {
        std::unique_lock<std::mutex> guard(mutex_);
        changed_.wait_for(guard, std::chrono::milliseconds(ms), [&] { return seen_.size() >= count; });
        return seen_;
    }
    std::vector<int> kinds() {
        std::lock_guard<std::mutex> guard(mutex_);
        std::vector<int> out;
        for (const RSeen& s : seen_) {
            out.push_back(s.kind);
        }
        return out;
    }
    void clear() {
        std::lock_guard<std::mutex> guard(mutex_);
        seen_.clear();
    }

    bool keep = false;
    int throw_on = -1; // a kind whose handling runs out of memory
    std::vector<CNotificationDownload*> kept;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<RSeen> seen_;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(server().empty()) << "PELIKANT_TEST_SERVER is not set; run the tests with tools/test.sh";
        engine.set_notifications(&recorder);
    }
    // Starts the engine and waits for the connect to finish.
    void start() {
        ASSERT_TRUE(engine.start());
        std::vector<RSeen> seen = recorder.wait_for(2);
        ASSERT_EQ(seen.size(), 2u);
        ASSERT_EQ(seen[0].kind, Connecting);
        ASSERT_EQ(seen[1].kind, Connected);
        recorder.clear();
    }
    std::vector<RSeen> download(const std::string& path, size_t expected) {
        engine.get_memory_file(string::weak_string<char>(server() + path));
        return recorder.wait_for(expected);
    }

    CRecorder recorder;
    CNexum engine;
};

} // namespace

// start() itself checks that the start reports connecting, then connected.
TEST_F(EngineTest, DownloadQueuedBeforeStartIsDroppedUnhandled) {
    engine.get_memory_file(string::weak_string<char>(server() + "/t/body?text=early"));
    start();
    // Reported after anything the early download or the start's own stop would have reported.
    const std::vector<RSeen> seen = download("/t/body?text=marker", 2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0].kind == DownloadStarted && seen[1].body == "marker")
        << "neither the queued download nor the disconnect of the start's own stop may be reported";
}

TEST_F(EngineTest, DownloadsReportStartThenOutcome) {
    start();
    struct RCase {
        const char* path;
        int outcome;
        const char* body;
    } cases[] = {
        {"/t/body?text=Za%C5%BC%C3%B3%C5%82%C4%87", DownloadFinished, "Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87"},
        {"/t/body?status=404&text=brak", DownloadFinished, "brak"}, // the status is not examined
        {"/t/body?status=500&text=awaria", DownloadFinished, "awaria"},
        {"/t/empty", DownloadFinished, ""},
    };
    for (const RCase& c : cases) {
        recorder.clear();
        std::vector<RSeen> seen = download(c.path, 2);
        ASSERT_EQ(seen.size(), 2u) << c.path;
        EXPECT_EQ(seen[0].kind, DownloadStarted) << c.path;
        EXPECT_TRUE(seen[0].body.empty()) << c.path;
        EXPECT_EQ(seen[1].kind, c.outcome) << c.path;
        EXPECT_EQ(seen[1].body, c.body) << c.path;
        EXPECT_EQ(seen[1].url, server() + c.path) << c.path;
    }
}

TEST_F(EngineTest, AReceiverThatThrowsLosesThatNotificationOnly) {
    start();
    recorder.throw_on = DownloadStarted;
    std::vector<RSeen> seen = download("/t/body?text=dalej", 2);
    ASSERT_EQ(seen.size(), 2u) << "the notification thread went on";
    EXPECT_EQ(seen[1].kind, DownloadFinished);
    EXPECT_EQ(seen[1].body, "dalej");
}

TEST_F(EngineTest, RedirectChainEndsAtFinalUrlWithRefererAndNoUserAgent) {
    start();
    download("/t/clear", 2);
    recorder.clear();
    std::vector<RSeen> seen = download("/t/redirect?n=3&to=%2Ft%2Fbody%3Ftext%3Dkoniec", 2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].kind, DownloadFinished);
    EXPECT_EQ(seen[1].body, "koniec");
    EXPECT_EQ(seen[1].url, server() + "/t/body?text=koniec");

    recorder.clear();
    seen = download("/t/requests", 2);
    ASSERT_EQ(seen.size(), 2u);
    const std::string& log = seen[1].body;
    size_t lines = 0;
    size_t with_referer = 0;
    for (size_t at = 0; (at = log.find('\n', at)) != std::string::npos; ++at) {
        ++lines;
    }
    for (size_t at = 0; (at = log.find("\"Referer\"", at)) != std::string::npos; ++at) {
        ++with_referer;
    }
    EXPECT_EQ(lines, 4u) << log; // three redirects and the final page
    EXPECT_EQ(with_referer, 3u) << "every redirected request carries a Referer:\n" << log;
    EXPECT_EQ(log.find("User-Agent"), std::string::npos) << log;
}

TEST_F(EngineTest, FailuresReportStartedThenFailed) {
    start();
    const std::string closed_port = "http://127.0.0.1:1/xml/";
    engine.get_memory_file(string::weak_string<char>(closed_port));
    std::vector<RSeen> seen = recorder.wait_for(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, DownloadStarted);
    EXPECT_EQ(seen[1].kind, DownloadFailed);

    recorder.clear();
    seen = download("/t/big?mb=20", 2); // past the body cap
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, DownloadStarted);
    EXPECT_EQ(seen[1].kind, DownloadFailed);
}

TEST_F(EngineTest, DownloadWhileDisconnectedFailsOnceWithoutStarting) {
    start();
    engine.disconnect();
    std::vector<RSeen> seen = recorder.wait_for(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, Disconnecting);
    EXPECT_EQ(seen[1].kind, Disconnected);

    // The download's one notification, then the disconnect's as a marker: nothing came between.
    recorder.clear();
    download("/t/body?text=x", 1);
    engine.disconnect();
    recorder.wait_for(2);
    EXPECT_EQ(recorder.kinds(), (std::vector<int>{DownloadFailed, NotConnected}));
}

TEST_F(EngineTest, KeptNotificationOutlivesTheEngine) {
    recorder.keep = true;
    {
        CNexum own;
        own.set_notifications(&recorder);
        ASSERT_TRUE(own.start());
        own.get_memory_file(string::weak_string<char>(server() + "/t/body?text=zachowane"));
        recorder.wait_for(4);
    }
    ASSERT_EQ(recorder.kept.size(), 1u);
    EXPECT_EQ(body_of(recorder.kept[0]), "zachowane");
    delete recorder.kept[0];
}

TEST_F(EngineTest, StopReturnsAtOnceAndStartWorksAgain) {
    engine.stop(); // without start
    engine.stop();
    start();
    engine.stop();
    engine.stop();
    recorder.clear();
    start();
    std::vector<RSeen> seen = download("/t/body?text=znowu", 2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].body, "znowu");
}

TEST_F(EngineTest, StopAbortsATransferThatNeverAnswers) {
    start();
    feed_server::get(server(), "/t/clear");
    engine.get_memory_file(string::weak_string<char>(server() + "/t/hang"));
    // Well into the transfer: the server has the request.
    ASSERT_TRUE(wait_until(
        [] { return feed_server::get(server(), "/t/requests").find("/t/hang") != std::string::npos; }, 5000));
    const DWORD before = GetTickCount();
    engine.stop();
    const DWORD took = GetTickCount() - before;
    std::printf("stop during a hung transfer took %lu ms\n", static_cast<unsigned long>(took));
    // The stop wakes the transfer at once: a few milliseconds, against up to a second when it
    // waited for libcurl's next progress call. The bound leaves a busy machine room.
    EXPECT_LT(took, 500u) << "stop waited " << took << " ms for a dead server";
}

// Downloads that succeed and downloads that fail (a redirect circle, a redirect to another
// scheme) in turn.
TEST_F(EngineTest, ManyDownloadsLeaveThreadsAndHandlesFlat) {
    start();
    download("/t/body?text=rozgrzewka", 2); // libcurl's own one-time set-up
    Sleep(300);
    const int threads_before = thread_count();
    const DWORD handles_before = handle_count();
    const char* const failing[] = {"/t/circle", "/t/redirect?n=1&to=ftp%3A%2F%2Fx%2F"};
    for (int i = 0; i < 600; ++i) {
        recorder.clear();
        const bool fails = i % 6 == 5;
        std::vector<RSeen> seen =
            download(fails ? failing[i / 6 % 2] : "/t/body?text=" + std::to_string(i), 2);
        ASSERT_EQ(seen.size(), 2u) << i;
        ASSERT_EQ(seen[1].kind, fails ? DownloadFailed : DownloadFinished) << i;
        if (!fails) {
            ASSERT_EQ(seen[1].body, std::to_string(i));
        }
    }
    int threads_after = 0;
    DWORD handles_after = 0;
    EXPECT_TRUE(counts_settle(threads_before, handles_before, 2, &threads_after, &handles_after))
        << "threads " << threads_before << " -> " << threads_after << ", handles " << handles_before << " -> "
        << handles_after;
}

TEST_F(EngineTest, DripRedirectCircleAndForeignSchemeEndAsFailures) {
    const long limit_ms = 3000;
    engine.set_transfer_limit(limit_ms);
    start();
    struct RCase {
        const char* path;
        DWORD within_ms;
    } cases[] = {
        {"/t/drip?bytes=100&ms=1000", limit_ms + 2000}, // alive, but never done
        {"/t/circle", 2000},
        {"/t/redirect?n=1&to=ftp%3A%2F%2F127.0.0.1%2Fxml%2F", 2000},
        {"/t/redirect?n=1&to=file%3A%2F%2F%2FC%3A%2Fwindows%2Fwin.ini", 2000},
    };
    for (const RCase& c : cases) {
        recorder.clear();
        const DWORD before = GetTickCount();
        std::vector<RSeen> seen = download(c.path, 2);
        const DWORD took = GetTickCount() - before;
        ASSERT_EQ(seen.size(), 2u) << c.path;
        EXPECT_EQ(seen[1].kind, DownloadFailed) << c.path;
        EXPECT_LT(took, c.within_ms) << c.path;
        std::printf("%s failed after %lu ms\n", c.path, static_cast<unsigned long>(took));
    }
}

namespace {

// Blocks inside its first call until released; can stop the engine from inside a call.
class CBlockingReceiver : public INotifications {
public:
    bool on_notification(INotification*) override {
        if (engine_to_stop != nullptr) {
            engine_to_stop->stop();
            stopped_inside = true;
            return false;
        }
        entered = true;
        while (!released) {
            Sleep(10);
        }
        left = true;
        return false;
    }

    CNexum* engine_to_stop = nullptr; // not owned
    std::atomic<bool> entered{false};
    std::atomic<bool> released{false};
    std::atomic<bool> left{false};
    std::atomic<bool> stopped_inside{false};
};

} // namespace

TEST(EngineReceiver, DetachWaitsForTheCallUnderWayAndStopFromInsideReturns) {
    {
        CBlockingReceiver receiver;
        CNexum engine;
        engine.set_notifications(&receiver);
        ASSERT_TRUE(engine.start());
        ASSERT_TRUE(wait_until([&] { return receiver.entered.load(); }, 5000));
        std::thread releaser([&] {
            Sleep(300);
            receiver.released = true;
        });
        engine.set_notifications(nullptr);
        const bool call_had_ended = receiver.left;
        releaser.join();
        EXPECT_TRUE(call_had_ended) << "set_notifications returned while the old receiver was still running";
    }
    {
        CBlockingReceiver receiver;
        CNexum engine;
        receiver.engine_to_stop = &engine;
        engine.set_notifications(&receiver);
        ASSERT_TRUE(engine.start());
        EXPECT_TRUE(wait_until([&] { return receiver.stopped_inside.load(); }, 5000))
            << "stop from inside the receiver hung";
        engine.set_notifications(nullptr);
    } // the destructor joins the notification thread that stop could not
}

TEST(SyncQueue, ClosedQueueRefusesButHandsOutWhatItHolds) {
    CSyncQueue<int*> queue;
    int a = 1, b = 2, c = 3;
    queue.open();
    EXPECT_TRUE(queue.push(&a));
    EXPECT_TRUE(queue.push(&b));
    queue.close();
    EXPECT_FALSE(queue.push(&c));
    int* out = nullptr;
    EXPECT_TRUE(queue.pop(out));
    EXPECT_EQ(out, &a);
    EXPECT_TRUE(queue.pop(out));
    EXPECT_EQ(out, &b);
    EXPECT_FALSE(queue.pop(out)) << "closed and empty: pop must not block";

    // Opens nest: only the last close closes.
    queue.open();
    queue.open();
    queue.close();
    EXPECT_TRUE(queue.push(&c));
    queue.close();
    EXPECT_TRUE(queue.pop(out));
    EXPECT_EQ(out, &c);
    EXPECT_FALSE(queue.try_pop(out));
}

TEST(CurlFileMemory, OpenCloseAbortAndCap) {
    CCurlFileMemory sink;
    EXPECT_TRUE(sink.open());
    EXPECT_TRUE(sink.write("abc", 3));
    EXPECT_TRUE(sink.write("", 0));
    EXPECT_EQ(sink.data.length(), 3);
    sink.abort();
    EXPECT_TRUE(sink.failed());
    EXPECT_FALSE(sink.is_open());
    EXPECT_TRUE(sink.write("de", 2));
    EXPECT_TRUE(sink.open());
    EXPECT_FALSE(sink.failed());
    EXPECT_EQ(sink.data.length(), 0) << "a reused sink must not hand back the bytes of the transfer before";

    sink.limit = 5;
    EXPECT_TRUE(sink.write("abcde", 5));
    EXPECT_FALSE(sink.write("f", 1)) << "past the cap the transfer must end";
    EXPECT_EQ(sink.data.length(), 5);

    CNotificationDownload started(0), failed(1), finished(2), other(7);
    EXPECT_EQ(started.type(), DownloadStarted);
    EXPECT_EQ(failed.type(), DownloadFailed);
    EXPECT_EQ(finished.type(), DownloadFinished);
    EXPECT_EQ(other.type(), 0);
}

TEST_F(EngineTest, RequestsNameThemselvesAskConditionallyAndAcceptCompression) {
    engine.set_user_agent("Pelikant/9.9 (Windows NT 1.2)");
    start();
    download("/t/clear", 2);
    recorder.clear();
    CTaskGetMemoryFile task(string::weak_string<char>(server() + "/t/body?text=x"));
    task.request.if_none_match = "W/\"abc-1\"";
    task.request.if_modified_since = "Wed, 09 Dec 2026 00:00:00 GMT";
    engine.get_memory_file(task);
    ASSERT_EQ(recorder.wait_for(2).size(), 2u);
    recorder.clear();
    std::vector<RSeen> seen = download("/t/requests", 2);
    ASSERT_EQ(seen.size(), 2u);
    const std::string& log = seen[1].body;
    for (const char* header :
         {"\"User-Agent\": \"Pelikant/9.9 (Windows NT 1.2)\"", "\"If-None-Match\": \"W/\\\"abc-1\\\"\"",
          "\"If-Modified-Since\": \"Wed, 09 Dec 2026 00:00:00 GMT\"",
          "\"Accept-Encoding\": \"gzip, deflate\""}) {
        EXPECT_NE(log.find(header), std::string::npos) << header << " not in\n" << log;
    }
}

TEST_F(EngineTest, AnswersSayTheirStatusRetryAfterAndHowTheyEnded) {
    start();
    struct RCase {
        std::string url;
        int kind;
        long status;
        TransferEnd end;
        std::int64_t retry_after; // -1: none; otherwise within 5 s of it
    } cases[] = {
        {server() + "/t/body?status=429&retry_after=120&text=x", DownloadFinished, 429, TransferDone, 120},
        {server() + "/t/body?status=503&retry_after_in=600", DownloadFinished, 503, TransferDone, 600},
        {server() + "/t/body?text=x", DownloadFinished, 200, TransferDone, -1},
        {server() + "/t/hostile?case=gzip_bomb", DownloadFailed, 200, TransferTooBig, -1},
        {server() + "/t/hostile?case=big_length", DownloadFailed, 200, TransferTooBig, -1},
        {server() + "/t/hostile?case=gzip_broken", DownloadFailed, 200, TransferBadBody, -1},
        {server() + "/t/circle", DownloadFailed, 302, TransferBadBody, -1},
        {server() + "/t/hostile?case=reset", DownloadFailed, 200, TransferNoAnswer, -1},
        {server() + "/t/sequence?answers=close", DownloadFailed, 0, TransferNoAnswer, -1},
        {"http://127.0.0.1:1/xml/", DownloadFailed, 0, TransferNoAnswer, -1},
    };
    for (const RCase& c : cases) {
        recorder.clear();
        engine.get_memory_file(string::weak_string<char>(c.url));
        std::vector<RSeen> seen = recorder.wait_for(2);
        ASSERT_EQ(seen.size(), 2u) << c.url;
        const RAnswer& answer = seen[1].answer;
        EXPECT_EQ(seen[1].kind, c.kind) << c.url;
        EXPECT_EQ(answer.status, c.status) << c.url;
        EXPECT_EQ(answer.end, c.end) << c.url << ": " << answer.error;
        EXPECT_NEAR(static_cast<double>(answer.retry_after), static_cast<double>(c.retry_after),
                    c.retry_after < 0 ? 0.0 : 5.0)
            << c.url;
        EXPECT_LE(seen[1].body.size(), static_cast<size_t>(MAX_BODY_BYTES)) << c.url;
        EXPECT_EQ(answer.error.empty(), c.kind == DownloadFinished) << c.url << ": " << answer.error;
    }
}

TEST(RetryAfter, SecondsOrAnHttpDate) {
    const std::time_t now = 1445412480; // Wed, 21 Oct 2015 07:28:00 GMT
    struct RCase {
        const char* value;
        const char* date;
        std::int64_t seconds;
    } cases[] = {
        {"120", "", 120},
        {"0", "", 0},
        {"", "", -1},
        {"soon", "", -1},
        {"-5", "", -1},
        {"1.5", "", -1},
        {"99999999999999999999999", "", 86400}, // no overflow: a day is as long as any wait
        {"Wed, 21 Oct 2015 07:30:00 GMT", "", 120},
        {"Wednesday, 21-Oct-15 07:30:00 GMT", "", 120},
        {"Wed Oct 21 07:30:00 2015", "", 120},
        {"Wed, 21 Oct 2015 07:00:00 GMT", "", 0},                                 // gone by
        {"Wed, 21 Oct 2015 08:30:00 GMT", "Wed, 21 Oct 2015 08:00:00 GMT", 1800}, // the server's clock
        {"Wed, 21 Oct 2015 07:30:00 GMT", "garbage", 120},
    };
    for (const RCase& c : cases) {
        EXPECT_EQ(retry_after_seconds(c.value, c.date, now), c.seconds) << c.value << " | " << c.date;
    }
}

TEST(Proxy, InternetOptionsReadAsWindowsReadsThem) {
    struct RPick {
        const char* list;
        const char* scheme;
        const char* proxy;
    } picks[] = {
        {"proxy:8080", "http", "http://proxy:8080"},
        {"proxy:8080", "https", "http://proxy:8080"},
        {"http=a:1;https=b:2", "https", "http://b:2"},
        {"http=a:1;https=b:2", "http", "http://a:1"},
        {"ftp=a:1", "http", ""},
        {"socks=s:1080", "http", "socks4://s:1080"},
        {"p1:8080; p2:8080", "http", "http://p1:8080"}, // a script's list: the first
        {"http://a:1", "http", "http://a:1"},
        {"", "http", ""},
    };
    for (const RPick& c : picks) {
        EXPECT_EQ(pick_proxy(c.list, c.scheme), c.proxy) << c.list << " " << c.scheme;
    }
    struct RBypass {
        const char* list;
        const char* host;
        bool bypassed;
    } bypasses[] = {
        {"<local>", "intranet", true},
        {"<local>", "example.org", false},
        {"*.example.org", "a.example.org", true},
        {"*.example.org", "example.org", false},
        {"10.*", "10.1.2.3", true},
        {"10.*", "110.1.2.3", false},
        {"EXAMPLE.org", "example.ORG", true},
        {"a;b ; example.org:8080", "example.org", true},
        {"*", "anything", true},
        {"", "example.org", false},
        {"http://*.corp", "x.corp", true},
        {"*ample*", "example.org", true},
    };
    for (const RBypass& c : bypasses) {
        EXPECT_EQ(is_bypassed(c.list, c.host), c.bypassed) << c.list << " " << c.host;
    }
    struct RCurlList {
        const char* list;
        const char* no_proxy;
    } lists[] = {
        {"<local>;*.example.org;10.*;192.168.1.*;host", "example.org,10.0.0.0/8,192.168.1.0/24,host"},
        {"a;*;b", "*"},
        {"*ample*;http://x.org", "x.org"},
        {"", ""},
    };
    for (const RCurlList& c : lists) {
        EXPECT_EQ(curl_no_proxy(c.list), c.no_proxy) << c.list;
    }
}

namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string file_text(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const char* const INTERNET_SETTINGS = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The current user's Internet Options, written where Windows keeps them (the binary
// DefaultConnectionSettings and the plain values beside it) and removed again at the end.
class CInternetOptions {
public:
    enum { DIRECT = 1, PROXY = 2, SCRIPT = 4 };

    CInternetOptions(DWORD flags, const std::string& proxy, const std::string& bypass,
                     const std::string& script) {
        std::string blob;
        auto dword = [&](DWORD value) { blob.append(reinterpret_cast<const char*>(&value), 4); };
        auto text = [&](const std::string& value) {
            dword(static_cast<DWORD>(value.size()));
            blob += value;
        };
        dword(0x46);
        dword(++counter_);
        dword(flags);
        text(proxy);
        text(bypass);
        text(script);
        blob.append(32, '\0');
        RegSetKeyValueA(HKEY_CURRENT_USER, (std::string(INTERNET_SETTINGS) + "\\Connections").c_str(),
                        "DefaultConnectionSettings", REG_BINARY, blob.data(),
                        static_cast<DWORD>(blob.size()));
        const DWORD enable = (flags & PROXY) != 0 ? 1 : 0;
        RegSetKeyValueA(HKEY_CURRENT_USER, INTERNET_SETTINGS, "ProxyEnable", REG_DWORD, &enable,
                        sizeof(enable));
        set_text("ProxyServer", proxy);
        set_text("ProxyOverride", bypass);
        set_text("AutoConfigURL", (flags & SCRIPT) != 0 ? script : "");
    }
    ~CInternetOptions() { clear(); }
    // Also what a run that stopped half-way left in the prefix, which later runs reuse.
    static void clear() {
        RegDeleteKeyValueA(HKEY_CURRENT_USER, (std::string(INTERNET_SETTINGS) + "\\Connections").c_str(),
                           "DefaultConnectionSettings");
        for (const char* name : {"ProxyEnable", "ProxyServer", "ProxyOverride", "AutoConfigURL"}) {
            RegDeleteKeyValueA(HKEY_CURRENT_USER, INTERNET_SETTINGS, name);
        }
    }
    CInternetOptions(const CInternetOptions&) = delete;
    CInternetOptions& operator=(const CInternetOptions&) = delete;

private:
    static void set_text(const char* name, const std::string& value) {
        if (value.empty()) {
            RegDeleteKeyValueA(HKEY_CURRENT_USER, INTERNET_SETTINGS, name);
            return;
        }
        RegSetKeyValueA(HKEY_CURRENT_USER, INTERNET_SETTINGS, name, REG_SZ, value.c_str(),
                        static_cast<DWORD>(value.size() + 1));
    }
    static DWORD counter_;
};
DWORD CInternetOptions::counter_ = 0;

// An environment variable set for the owner's life (none for an empty value), removed again
// however the test ends.
class CEnvironmentVariable {
public:
    CEnvironmentVariable(const char* name, const std::string& value) : name_(name) {
        SetEnvironmentVariableA(name_, value.empty() ? nullptr : value.c_str());
    }
    ~CEnvironmentVariable() { SetEnvironmentVariableA(name_, nullptr); }
    CEnvironmentVariable(const CEnvironmentVariable&) = delete;
    CEnvironmentVariable& operator=(const CEnvironmentVariable&) = delete;

private:
    const char* name_;
};

} // namespace

// tinyproxy as the user's proxy in Internet Options; nginx as the site. Whether a poll went
// through the proxy is read from the proxy's log.
TEST(Proxy, PollsGoThroughTheInternetOptionsProxyExceptToBypassedHosts) {
    const std::string site = env("PELIKANT_NGINX");
    const std::string proxy = env("PELIKANT_TINYPROXY");
    const std::string proxy_log = env("PELIKANT_TINYPROXY_LOG");
    ASSERT_FALSE(site.empty() || proxy.empty())
        << "nginx or tinyproxy not running; run the tests with tools/test.sh";
    const std::string port = site.substr(site.rfind(':') + 1);
    // A configuration script, as a company's network hands it out.
    std::ofstream(env("PELIKANT_NGINX_ROOT") + "\\proxy.pac")
        << "function FindProxyForURL(url, host) { return host == '127.0.0.1' ? 'DIRECT' : 'PROXY " << proxy
        << "'; }\n";
    const std::string script = site + "/proxy.pac";
    using O = CInternetOptions;
    struct RCase {
        const char* name;
        DWORD flags;
        std::string proxy, bypass, script;
        std::string http_proxy; // the environment variable
        const char* host;
        bool proxied;
    } cases[] = {
        {"fixed proxy", O::DIRECT | O::PROXY, proxy, "127.0.0.1", "", "", "localhost", true},
        {"fixed proxy, bypassed host", O::DIRECT | O::PROXY, proxy, "127.0.0.1", "", "", "127.0.0.1", false},
        {"fixed proxy, <local>", O::DIRECT | O::PROXY, proxy, "<local>", "", "", "localhost", false},
        {"per scheme", O::DIRECT | O::PROXY, "https=127.0.0.1:1;http=" + proxy, "", "", "", "localhost",
         true},
        {"script", O::DIRECT | O::SCRIPT, "", "", script, "", "localhost", true},
        {"script, direct", O::DIRECT | O::SCRIPT, "", "", script, "", "127.0.0.1", false},
        {"script unreachable: the fixed proxy", O::DIRECT | O::PROXY | O::SCRIPT, proxy, "",
         "http://127.0.0.1:1/proxy.pac", "", "localhost", true},
        {"none, environment", O::DIRECT, "", "", "", "http://" + proxy, "localhost", true},
        {"none", O::DIRECT, "", "", "", "", "localhost", false},
    };
    CInternetOptions::clear();
    int number = 0;
    for (const RCase& c : cases) {
        const CInternetOptions options(c.flags, c.proxy, c.bypass, c.script);
        const CEnvironmentVariable http_proxy("http_proxy", c.http_proxy);
        const std::string url =
            std::string("http://") + c.host + ":" + port + "/xml/?proxy-case=" + std::to_string(++number);
        CRecorder recorder;
        {
            CNexum engine;
            engine.set_notifications(&recorder);
            ASSERT_TRUE(engine.start());
            engine.get_memory_file(string::weak_string<char>(url));
            std::vector<RSeen> seen = recorder.wait_for(4);
            ASSERT_EQ(seen.size(), 4u) << c.name;
            EXPECT_EQ(seen[3].kind, DownloadFinished) << c.name << ": " << seen[3].answer.error;
            engine.set_notifications(nullptr);
        }
        const bool proxied = file_text(proxy_log).find("GET " + url + " ") != std::string::npos;
        EXPECT_EQ(proxied, c.proxied) << c.name;
    }
}
