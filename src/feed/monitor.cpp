#include "feed/monitor.h"

#include <string>

#include <windows.h>

#include "kernel/version.h"
#include "nexum/download.h"
#include "nexum/nexum.h"
#include "string/convert.h"

namespace feed {

namespace {

// "Odpowiedź przekracza 16 MiB." in UTF-16.
const wchar_t* const TOO_BIG = L"Odpowied\u017a przekracza 16 MiB.";

// Header texts are meant to be ASCII; a server may send anything, which then reads as 1252.
std::wstring wide(const std::string& text) {
    std::wstring out;
    return string::from_utf8_strict(text, out) ? out : string::from_code_page(1252, text);
}

} // namespace

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
    xml::CParseXml parser;
    // A page that is well-formed but no feed (an HTML error page sent with status 200) is a bad
    // answer like any other: the list stays the last feed's, and the next is judged against it.
    if (!parser.parse(text) || !parser.has_forum()) {
        return false;
    }
    out.has_topics = true;
    out.topics = forum_rows(parser.feed());
    return true;
}

std::string topic_url(const string::weak_string<char>& site_url, std::int32_t id) {
    return std::string(site_url.c_str(), static_cast<size_t>(site_url.length())) +
           "/forum/temat/?id=" + std::to_string(id);
}

} // namespace feed
