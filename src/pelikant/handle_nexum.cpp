#include "pelikant/handle_nexum.h"

#include <algorithm>
#include <cwctype>
#include <string>

#include <windows.h>

#include "nexum/download.h"
#include "string/convert.h"

namespace pelikant {

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

void make_balloon(const string::weak_string<char>& site_url, const RTopic& topic, RBalloon& out) {
    string::from_utf8(site_url, out.title); // empty when it is no UTF-8
    out.title.append(L" (Postów: ");
    out.title.append(std::to_wstring(topic.PostCount));
    out.title.append(L")");
    if (blank(topic.Title)) {
        out.text = NEW_MESSAGES;
    } else {
        out.text = topic.Title;
    }
}

int topic_image(const RTopic& topic) {
    return (topic.IsOpen ? 1 : 5) + (topic.OrderKey > 0 ? 2 : 0) + (topic.Visited ? 1 : 0);
}

CHandleNexum::CHandleNexum(const string::weak_string<char>& site_url, IForumView* view)
    : site_url_(site_url), view_(view) {
    // Both threads read the URL: made contiguous now, later reads of it never write.
    site_url_.c_str();
}

bool CHandleNexum::on_notification(nexum::INotification* notification) {
    if (view_.load() == nullptr || notification == nullptr ||
        notification->type() != nexum::DownloadFinished) {
        return false;
    }
    nexum::CNotificationDownload* download = dynamic_cast<nexum::CNotificationDownload*>(notification);
    if (download == nullptr) {
        return false;
    }
    memory::ChunkedMemory<char, 1024>& data = download->file.data;
    data.push_back('\0');
    data.linearize(0);
    process_feed(data.data());
    return false;
}

void CHandleNexum::process_feed(const char* text) {
    if (text == nullptr || *text == '\0') {
        return;
    }
    RForumFeed feed;
    {
        CParseXml parser;
        // A page that is well-formed but no feed (an HTML error page sent with status 200) is a
        // bad answer like any other: the last feed stays the one the next is judged against.
        if (!parser.parse(text) || !parser.has_forum()) {
            return;
        }
        parser.swap_feed(feed);
    }
    bool changed = false;
    {
        kernel::CLock lock(lock_);
        changed = is_changed(last_, feed);
    }
    // The view is called with no lock held: it may read the last feed itself.
    IForumView* view = view_.load();
    if (changed && view != nullptr) {
        RBalloon balloon;
        make_balloon(site_url_, feed.Topics[latest_topic(feed.Topics)], balloon);
        view->announce(balloon.title, balloon.text);
    }
    {
        kernel::CLock lock(lock_);
        swap(last_, feed);
    }
    // feed now holds the previous one, which is freed outside the lock.
    if (view != nullptr) {
        view->feed_replaced();
    }
}

void CHandleNexum::open_topic(std::int32_t id) {
    IForumView* view = view_.load();
    if (view == nullptr) {
        return;
    }
    narrow_string url(site_url_);
    url.append("/forum/temat/?id=");
    url.append(std::to_string(id));
    view->open_url(url);
}

bool CHandleNexum::is_changed(const RForumFeed& previous, const RForumFeed& current) {
    const std::vector<RTopic>& before = previous.Topics;
    const std::vector<RTopic>& now = current.Topics;
    if (before.empty() || now.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (i >= before.size()) {
            return true;
        }
        const RTopic& a = before[i];
        const RTopic& b = now[i];
        if (!b.Visited && (a.Id != b.Id || a.PostCount != b.PostCount || a.LastUserId != b.LastUserId)) {
            return true;
        }
    }
    return false;
}

std::size_t CHandleNexum::latest_topic(const std::vector<RTopic>& topics) {
    std::size_t chosen = 0;
    for (std::size_t i = 1; i < topics.size(); ++i) {
        if (later(topics[i].UpdateDT, topics[chosen].UpdateDT)) {
            chosen = i;
        }
    }
    return chosen;
}

} // namespace pelikant
