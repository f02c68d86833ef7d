// What one copy's polls of an unchanged 50-topic feed cost the site, per day: the polls as the
// program made them before (a plain GET of the whole feed, every minute) against the program's
// polls now (conditional, compressed), both against nginx serving the feed as a static file.
// The bytes come from nginx's own log: each answer's bytes with its headers, and each request's.
//
// Needs nginx as tools/servers.sh starts it (PELIKANT_NGINX, PELIKANT_NGINX_ROOT,
// PELIKANT_NGINX_LOG); see README.md.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <curl/curl.h>
#include <windows.h>

#include "nexum/nexum.h"
#include "feed/monitor.h"

using namespace feed;
using namespace xml;

namespace {

const int POLLS = 30;
const int POLLS_PER_DAY = 24 * 60;

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Fifty topics as the site lists them: every attribute, titles of ordinary length.
std::string feed_of_50() {
    static const char* const titles[] = {
        "Jak wczytać plik linia po linii w C++?",
        "Wskaźniki a referencje – kiedy czego używać",
        "Problem z std::vector i iteratorami",
        "Łańcuchy znaków w C: strcpy czy strncpy?",
        "Gra w SFML – kolizje postaci",
        "Szablony klas: błąd linkera",
        "Ćwiczenia z rekurencji dla początkujących",
        "Zażółć gęślą jaźń – kodowanie znaków w konsoli",
    };
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Pelikant>\n"
                       "  <Information UpdateDT=\"2026-12-08 17:30:00\">Forum</Information>\n"
                       "  <Forum>\n    <TopicContainer>\n";
    for (int i = 0; i < 50; ++i) {
        char row[512];
        std::snprintf(
            row, sizeof(row),
            "      <Topic Id=\"%d\" ParentId=\"0\" AccessId=\"1\" PostCount=\"%d\" CreateUserId=\"%d\" "
            "LastUserId=\"%d\" OrderKey=\"%d\" CreateDT=\"2026-11-%02d 12:%02d:00\" "
            "UpdateDT=\"2026-12-08 %02d:%02d:00\" LastPageNo=\"%d\" IsOpen=\"1\" Visited=\"%d\">"
            "<Title>%s</Title></Topic>\n",
            20000 + i, 3 + i * 7 % 40, 100 + i * 13, 200 + i * 17, i % 3, 1 + i % 28, i, 17 - i / 6, 59 - i,
            1 + i / 10, i % 2, titles[i % 8]);
        text += row;
    }
    return text + "    </TopicContainer>\n  </Forum>\n</Pelikant>\n";
}

struct RCost {
    long long answer_bytes = 0; // with headers
    long long request_bytes = 0;
    int requests = 0;
    int full_answers = 0;
};

// The nginx log lines from `from` on: status, body bytes, bytes, request bytes, ...
RCost cost_since(size_t from) {
    RCost cost;
    std::ifstream log(env("PELIKANT_NGINX_LOG"));
    size_t number = 0;
    for (std::string line; std::getline(log, line); ++number) {
        if (number < from) {
            continue;
        }
        std::istringstream fields(line);
        int status = 0;
        long long body = 0, bytes = 0, request = 0;
        fields >> status >> body >> bytes >> request;
        cost.answer_bytes += bytes;
        cost.request_bytes += request;
        cost.requests += 1;
        cost.full_answers += status == 200 ? 1 : 0;
    }
    return cost;
}

size_t log_lines() {
    std::ifstream log(env("PELIKANT_NGINX_LOG"));
    size_t lines = 0;
    for (std::string line; std::getline(log, line);) {
        ++lines;
    }
    return lines;
}

size_t discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

// The polls as they were: the whole feed every time, no compression, no validators.
void poll_as_before(const std::string& url) {
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &discard);
    curl_easy_setopt(curl, CURLOPT_AUTOREFERER, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
}

// Counts the answers the handler has taken.
class CCountingView : public IForumView {
public:
    void feed_polled(RFeedSnapshot) override { ++checked; }

    std::atomic<int> checked{0};
};

void print(const char* name, const RCost& cost) {
    const double scale = static_cast<double>(POLLS_PER_DAY) / cost.requests;
    std::printf("%-8s %10d %14.0f %14.0f %14.0f %9d/%d\n", name, POLLS_PER_DAY, cost.answer_bytes * scale,
                cost.request_bytes * scale, (cost.answer_bytes + cost.request_bytes) * scale,
                cost.full_answers, cost.requests);
}

} // namespace

int main() {
    const std::string site = env("PELIKANT_NGINX");
    if (site.empty()) {
        std::printf("PELIKANT_NGINX is not set: start nginx with tools/servers.sh (see README.md)\n");
        return 1;
    }
    const std::string feed = feed_of_50();
    std::ofstream(env("PELIKANT_NGINX_ROOT") + "\\xml\\index.xml", std::ios::binary) << feed;
    curl_global_init(CURL_GLOBAL_DEFAULT);

    size_t start = log_lines();
    for (int i = 0; i < POLLS; ++i) {
        poll_as_before(site + "/xml/");
    }
    const RCost before = cost_since(start);

    start = log_lines();
    {
        CCountingView view;
        CFeedMonitor handler(site.c_str(), &view);
        nexum::CNexum engine;
        engine.set_user_agent(user_agent("1.0.0"));
        engine.set_notifications(&handler);
        engine.start();
        for (int i = 0; i < POLLS; ++i) {
            handler.poll(engine, static_cast<std::int64_t>(GetTickCount64()));
            for (int waited = 0; view.checked <= i && waited < 10000; waited += 5) {
                Sleep(5);
            }
        }
        engine.set_notifications(nullptr);
    }
    const RCost after = cost_since(start);

    std::printf(
        "an unchanged feed of 50 topics, %zu bytes; %d polls each, scaled to a day of polls every minute\n\n",
        feed.size(), POLLS);
    std::printf("%-8s %10s %14s %14s %14s %12s\n", "per day", "requests", "answer bytes", "request bytes",
                "bytes", "200s/polls");
    print("before", before);
    print("after", after);
    std::printf("\nafter/before: %.1f %% of the bytes\n", 100.0 * (after.answer_bytes + after.request_bytes) /
                                                              (before.answer_bytes + before.request_bytes));
    return 0;
}
