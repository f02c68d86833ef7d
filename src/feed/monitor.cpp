#include "feed/monitor.h"

#include <algorithm>
#include <cwctype>
#include <string>

#include <windows.h>

#include "kernel/version.h"
#include "nexum/download.h"
#include "nexum/nexum.h"
#include "string/convert.h"

namespace feed {

namespace {

const wchar_t NEW_MESSAGES[] = L"Na forum pojawiły się nowe wiadomości.";

bool blank(const wide_string& text) {
    const wchar_t* units = text.c_str();
    for (std::int32_t i = 0; i < text.length(); ++i) {
        if (!std::iswspace(static_cast<std::wint_t>(units[i]))) {
            return false;
        }
    }
    return true;
}

// "Odpowiedź przekracza 16 MiB." in UTF-16.
const wchar_t* const TOO_BIG = L"Odpowied\u017a przekracza 16 MiB.";

// Header texts are meant to be ASCII; a server may send anything, which then reads as 1252.
std::wstring wide(const std::string& text) {
    std::wstring out;
    return string::from_utf8_strict(text, out) ? out : string::from_code_page(1252, text);
}

// UpdateDT texts compare code unit by code unit; a prefix is the smaller.
bool later(const wide_string& a, const wide_string& b) {
    const std::int32_t length = std::min(a.length(), b.length());
    const wchar_t* x = a.c_str();
    const wchar_t* y = b.c_str();
    for (std::int32_t i = 0; i < length; ++i) {
        const std::uint16_t p = static_cast<std::uint16_t>(x[i]);
        const std::uint16_t q = static_cast<std::uint16_t>(y[i]);
        if (p != q) {
            return p > q;
        }
    }
    return a.length() > b.length();
}

} // namespace

void make_balloon(const string::weak_string<char>& site_url, const xml::RTopic& topic, RBalloon& out) {
    string::from_utf8(site_url, out.title); // bytes that are no UTF-8 read as U+FFFD
    out.title.append(L" (Postów: ");
    out.title.append(std::to_wstring(topic.PostCount));
    out.title.append(L")");
    out.topic_id = topic.Id;
    if (blank(topic.Title)) {
        out.text = NEW_MESSAGES;
    } else {
        out.text = topic.Title;
    }
}

std::string user_agent(const char* version) {
    const kernel::RNtVersion nt = kernel::nt_version();
    return std::string("Pelikant/") + version + " (Windows NT " + std::to_string(nt.major) + "." +
           std::to_string(nt.minor) + ")";
}

RFeedCheck classify(int kind, const nexum::RAnswer& answer) {
    RFeedCheck check;
    check.http_status = answer.status;
    check.detail = wide(answer.status_line);
    if (answer.status >= 400) {
        check.outcome = RFeedCheck::HTTP_ERROR;
        return check;
    }
    if (kind != nexum::DownloadFinished) {
        switch (answer.end) {
        case nexum::TransferTooBig:
            check.outcome = RFeedCheck::NOT_A_FEED;
            check.detail = TOO_BIG;
            break;
        case nexum::TransferBadBody:
            check.outcome = RFeedCheck::NOT_A_FEED;
            check.detail = wide(answer.error);
            break;
        default:
            check.outcome = RFeedCheck::NO_CONNECTION;
            check.detail = wide(answer.error);
            break;
        }
        return check;
    }
    if (answer.status == 304) {
        check.outcome = RFeedCheck::UNCHANGED;
    }
    // Otherwise a feed if the body parses; the caller knows.
    return check;
}

bool is_failure(const RFeedCheck& check) {
    return check.outcome == RFeedCheck::NO_CONNECTION ||
           (check.outcome == RFeedCheck::HTTP_ERROR &&
            (check.http_status >= 500 || check.http_status == 429));
}

CFeedMonitor::CFeedMonitor(const string::weak_string<char>& site_url, IForumView* view, int wait_percent)
    : site_url_(site_url), view_(view), schedule_(wait_percent) {
    // Both threads read the URL: made contiguous now, later reads of it never write.
    site_url_.c_str();
    // Copies started together must not draw the same jitter.
    std::random_device device;
    std::seed_seq seed{device(), static_cast<unsigned>(GetTickCount64()),
                       static_cast<unsigned>(GetCurrentProcessId()),
                       static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(this))};
    random_.seed(seed);
}

bool CFeedMonitor::poll(nexum::CNexum& engine, std::int64_t now_ms) {
    narrow_string url(site_url_);
    url.append("/xml/");
    nexum::CTaskGetMemoryFile task(url);
    {
        kernel::CLock lock(lock_);
        engine_ = &engine;
        if (!schedule_.is_due(now_ms)) {
            return false;
        }
        if (asked_ > answered_ && now_ms - asked_at_ms_ < ANSWER_OVERDUE_MS) {
            deferred_ = true;
            return false;
        }
        deferred_ = false;
        task.tag = ++asked_;
        asked_at_ms_ = now_ms;
        task.request.if_none_match = etag_;
        task.request.if_modified_since = last_modified_;
    }
    engine.get_memory_file(task);
    return true;
}

bool CFeedMonitor::on_notification(nexum::INotification* notification) {
    if (view_.load() == nullptr || notification == nullptr) {
        return false;
    }
    const int kind = notification->type();
    if (kind != nexum::DownloadFinished && kind != nexum::DownloadFailed) {
        return false;
    }
    nexum::CNotificationDownload* download = dynamic_cast<nexum::CNotificationDownload*>(notification);
    // A transfer cut short by a stop is no answer of the site's.
    if (download == nullptr || download->answer.end == nexum::TransferStopped) {
        return false;
    }
    if (download->tag != 0) {
        kernel::CLock lock(lock_);
        if (download->tag <= answered_) {
            return false; // late: the answer to a newer poll has been taken
        }
        answered_ = download->tag;
    }
    const nexum::RAnswer& answer = download->answer;
    RFeedSnapshot snapshot;
    snapshot.check = classify(kind, answer);
    RFeedCheck& check = snapshot.check;
    const bool readable = kind == nexum::DownloadFinished && check.outcome == RFeedCheck::FEED;
    if (readable) {
        memory::ChunkedMemory<char, 1024>& data = download->file.data;
        data.push_back('\0');
        data.linearize(0);
        if (!process_feed(data.data(), snapshot)) {
            check.outcome = RFeedCheck::NOT_A_FEED;
            if (!answer.content_type.empty()) {
                check.detail += L" (" + wide(answer.content_type) + L")";
            }
        }
    }
    {
        kernel::CLock lock(lock_);
        // Only a feed that parsed vouches for its validators.
        if (check.outcome == RFeedCheck::FEED) {
            etag_ = answer.etag;
            last_modified_ = answer.last_modified;
        }
        schedule_.answered(is_failure(check), answer.retry_after, static_cast<std::uint32_t>(random_()),
                           static_cast<std::int64_t>(GetTickCount64()));
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    snapshot.state = feed_state(check, now);
    if (IForumView* view = view_.load()) {
        view->feed_polled(std::move(snapshot));
    }
    // The tick that came while this poll was under way.
    nexum::CNexum* engine = nullptr;
    {
        kernel::CLock lock(lock_);
        if (deferred_ && asked_ <= answered_) {
            engine = engine_;
        }
    }
    if (engine != nullptr) {
        poll(*engine, static_cast<std::int64_t>(GetTickCount64()));
    }
    return false;
}

bool CFeedMonitor::process_feed(const char* text, RFeedSnapshot& out) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    xml::RForumFeed feed;
    {
        xml::CParseXml parser;
        // A page that is well-formed but no feed (an HTML error page sent with status 200) is a
        // bad answer like any other: the last feed stays the one the next is judged against.
        if (!parser.parse(text) || !parser.has_forum()) {
            return false;
        }
        parser.swap_feed(feed);
    }
    out.announce = is_changed(last_, feed);
    if (out.announce) {
        make_balloon(site_url_, feed.Topics[latest_topic(feed.Topics)], out.balloon);
    }
    out.has_topics = true;
    out.topics = forum_rows(feed);
    swap(last_, feed);
    return true;
}

std::string topic_url(const string::weak_string<char>& site_url, std::int32_t id) {
    return std::string(site_url.c_str(), static_cast<size_t>(site_url.length())) +
           "/forum/temat/?id=" + std::to_string(id);
}

bool CFeedMonitor::is_changed(const xml::RForumFeed& previous, const xml::RForumFeed& current) {
    const std::vector<xml::RTopic>& before = previous.Topics;
    const std::vector<xml::RTopic>& now = current.Topics;
    if (before.empty() || now.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (i >= before.size()) {
            return true;
        }
        const xml::RTopic& a = before[i];
        const xml::RTopic& b = now[i];
        if (!b.Visited && (a.Id != b.Id || a.PostCount != b.PostCount || a.LastUserId != b.LastUserId)) {
            return true;
        }
    }
    return false;
}

std::size_t CFeedMonitor::latest_topic(const std::vector<xml::RTopic>& topics) {
    std::size_t chosen = 0;
    for (std::size_t i = 1; i < topics.size(); ++i) {
        if (later(topics[i].UpdateDT, topics[chosen].UpdateDT)) {
            chosen = i;
        }
    }
    return chosen;
}

} // namespace feed
