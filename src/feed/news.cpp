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

// The balloon of posts in topics: one topic by its name, several by the titles of as many as fit,
// latest first (a click on it names no single topic).
RBalloon told(const std::wstring& title, const std::vector<const RForumRow*>& topics) {
    if (topics.size() == 1) {
        return named(title, *topics[0]);
    }
    std::vector<std::wstring> lines;
    for (const RForumRow* topic : latest_first(topics)) {
        lines.push_back(blank(topic->title) ? L"(bez tytułu)" : topic->title);
    }
    const size_t all = lines.size();
    const auto others = [&](size_t shown) { return shown < all ? L"\n" + others_line(all - shown) : L""; };
    const auto length = [&](size_t shown) {
        size_t total = others(shown).size() + shown - 1;
        for (size_t i = 0; i < shown; ++i) {
            total += lines[i].size();
        }
        return total;
    };
    size_t shown = all;
    while (shown > MIN_BALLOON_TOPICS && length(shown) > MAX_BALLOON_TEXT) {
        --shown;
    }
    if (length(shown) > MAX_BALLOON_TEXT) {
        // Even the first few do not fit whole: each gets its share, cut with an ellipsis.
        const size_t share = (MAX_BALLOON_TEXT - others(shown).size() - (shown - 1)) / shown;
        for (size_t i = 0; i < shown; ++i) {
            if (lines[i].size() > share) {
                lines[i] = lines[i].substr(0, share - 1) + L"…";
            }
        }
    }
    RBalloon balloon;
    balloon.title = title;
    for (size_t i = 0; i < shown; ++i) {
        balloon.text += (i == 0 ? L"" : L"\n") + lines[i];
    }
    balloon.text += others(shown);
    return balloon;
}

} // namespace

std::vector<const RForumRow*> latest_first(std::vector<const RForumRow*> topics) {
    std::stable_sort(topics.begin(), topics.end(),
                     [](const RForumRow* a, const RForumRow* b) { return later(a->update, b->update); });
    return topics;
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
        topic.follow = seen_.follow(topic.id);
    }
}

RNewPosts CNews::count() const {
    RNewPosts count;
    for (const RForumRow& topic : topics_) {
        if (topic.new_posts > 0 && seen_.told_of(topic.follow)) {
            count.posts += topic.new_posts;
            ++count.topics;
        }
    }
    return count;
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
        if (grown[i] > 0 && seen_.told_of(topics_[i].follow)) {
            posts += grown[i];
            came.push_back(&topics_[i]);
        }
    }
    if (came.empty()) {
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
    if (first) {
        balloon = told(new_since_start_line(posts), came);
    } else {
        balloon = came.size() == 1
                      ? topic_balloon(site_url_, *came[0])
                      : told(new_posts_line({posts, static_cast<std::int64_t>(came.size())}), came);
    }
    return true;
}

bool CNews::release(RBalloon& balloon) {
    // Of the topics held, those the user has not opened (or muted) since.
    RNewPosts still;
    std::vector<const RForumRow*> unseen;
    for (const RForumRow& topic : topics_) {
        if (topic.new_posts > 0 && seen_.told_of(topic.follow) &&
            std::find(held_.begin(), held_.end(), topic.id) != held_.end()) {
            still.posts += topic.new_posts;
            ++still.topics;
            unseen.push_back(&topic);
        }
    }
    held_.clear();
    if (unseen.empty()) {
        return false;
    }
    balloon = told(L"W międzyczasie: " + new_posts_line(still), unseen);
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

CNews::EFollowed CNews::set_follow(std::int32_t id, EFollow follow) {
    if (seen_.follow(id) == follow) {
        return FOLLOW_UNCHANGED;
    }
    if (!seen_.set_follow(id, follow)) {
        return FOLLOW_FULL;
    }
    mark();
    return FOLLOW_SET;
}

void CNews::set_only_followed(bool on) {
    seen_.set_only_followed(on);
}

void CNews::open_all() {
    seen_.see_all();
    mark();
}

} // namespace feed
