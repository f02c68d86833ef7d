#include "feed/news.h"

#include <algorithm>
#include <cwctype>
#include <utility>

#include "string/convert.h"

namespace feed {

namespace {

const wchar_t NEW_MESSAGES[] = L"Na forum pojawiły się nowe wiadomości.";

bool blank(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return std::iswspace(c) != 0; });
}

// Update texts compare code unit by code unit; a prefix is the smaller.
bool later(const std::wstring& a, const std::wstring& b) {
    return std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), [](wchar_t x, wchar_t y) {
        return static_cast<std::uint16_t>(x) < static_cast<std::uint16_t>(y);
    });
}

// A balloon that names topic under another title.
RBalloon named(std::wstring title, const RForumRow& topic) {
    RBalloon balloon;
    balloon.title = std::move(title);
    balloon.text = blank(topic.title) ? NEW_MESSAGES : topic.title;
    balloon.topic_id = topic.id;
    return balloon;
}

} // namespace

const RForumRow* latest_topic(const std::vector<const RForumRow*>& topics) {
    const RForumRow* chosen = nullptr;
    for (const RForumRow* topic : topics) {
        if (chosen == nullptr || later(topic->update, chosen->update)) {
            chosen = topic;
        }
    }
    return chosen;
}

RBalloon topic_balloon(const std::string& site_url, const RForumRow& topic) {
    // Bytes of the address that are no UTF-8 read as U+FFFD.
    return named(string::from_utf8(site_url) + L" (Postów: " + std::to_wstring(topic.posts) + L")", topic);
}

CNews::CNews(CSeenTopics& seen, std::string site_url) : seen_(seen), site_url_(std::move(site_url)) {}

void CNews::begin() {
    first_ = true;
    topics_.clear();
    held_.clear();
}

void CNews::mark() {
    for (RForumRow& topic : topics_) {
        topic.new_posts = seen_.new_posts(topic);
    }
}

bool CNews::take(std::vector<RForumRow> topics, bool hold, RBalloon& balloon) {
    const bool first = first_;
    first_ = false;
    const std::vector<std::int32_t> grown = seen_.take(topics);
    topics_ = std::move(topics);
    mark();

    std::int64_t posts = 0;
    std::vector<const RForumRow*> came;
    for (size_t i = 0; i < topics_.size(); ++i) {
        if (grown[i] > 0) {
            posts += grown[i];
            came.push_back(&topics_[i]);
        }
    }
    const RForumRow* latest = latest_topic(came);
    if (latest == nullptr) {
        return false;
    }
    if (hold || !held_.empty()) {
        for (const RForumRow* topic : came) {
            if (std::find(held_.begin(), held_.end(), topic->id) == held_.end()) {
                held_.push_back(topic->id);
            }
        }
        return !hold && release(balloon);
    }
    balloon = first ? named(new_since_start_line(posts), *latest) : topic_balloon(site_url_, *latest);
    return true;
}

bool CNews::release(RBalloon& balloon) {
    // Of the topics held, those the user has not opened since.
    RNewPosts still;
    std::vector<const RForumRow*> unseen;
    for (const RForumRow& topic : topics_) {
        if (topic.new_posts > 0 && std::find(held_.begin(), held_.end(), topic.id) != held_.end()) {
            still.posts += topic.new_posts;
            ++still.topics;
            unseen.push_back(&topic);
        }
    }
    held_.clear();
    const RForumRow* latest = latest_topic(unseen);
    if (latest == nullptr) {
        return false;
    }
    balloon = named(L"W międzyczasie: " + new_posts_line(still), *latest);
    return true;
}

bool CNews::open(std::int32_t id) {
    for (const RForumRow& topic : topics_) {
        if (topic.id == id && topic.is_topic()) {
            const bool was_new = topic.new_posts > 0;
            seen_.see(id, topic.posts);
            mark();
            return was_new;
        }
    }
    return false;
}

bool CNews::open_all() {
    const bool any = count().posts > 0;
    seen_.see_all();
    mark();
    return any;
}

} // namespace feed
