#include "feed/seen.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <unordered_set>

namespace feed {

namespace {

const int VERSION = 3;
const char HEADER[] = "pelikant-seen ";
const char SITE[] = "site ";
const char FED[] = "fed ";
const char NOTIFY[] = "notify ";
const char* const NOTIFY_WHOM[] = {"all", "followed"};
// After a topic's counts, by its EFollow.
const char* const FOLLOW_SUFFIX[] = {"", " followed", " muted"};
const char PAUSED[] = "paused ";
const char END[] = "end ";

// Polish numerals take one of three forms: 1, then 2-4 (but not 12-14) at the end, then the rest.
enum Form { ONE, FEW, MANY };

Form form_of(std::int64_t n) {
    if (n == 1) {
        return ONE;
    }
    const std::int64_t units = n % 10, tens = n % 100;
    return units >= 2 && units <= 4 && !(tens >= 12 && tens <= 14) ? FEW : MANY;
}

std::wstring posts_phrase(std::int64_t posts) {
    static const wchar_t* const words[] = {L" nowy post", L" nowe posty", L" nowych postów"};
    return std::to_wstring(posts) + words[form_of(posts)];
}

std::uint32_t crc32(const std::string& text, size_t from, size_t to) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < to; ++i) {
        crc ^= static_cast<unsigned char>(text[i]);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

// Reads the text from at up to the first byte of stop (which must follow it); false otherwise.
template <class T> bool read_number(const char*& at, const char* end, char stop, T& out) {
    const std::from_chars_result read = std::from_chars(at, end, out);
    if (read.ec != std::errc() || read.ptr == end || *read.ptr != stop) {
        return false;
    }
    at = read.ptr + 1;
    return true;
}

bool read_word(const char*& at, const char* end, const char* word) {
    const size_t length = std::char_traits<char>::length(word);
    if (static_cast<size_t>(end - at) < length || !std::equal(word, word + length, at)) {
        return false;
    }
    at += length;
    return true;
}

size_t index(EFollow follow) {
    return static_cast<size_t>(follow);
}

std::string end_line(const std::string& text, size_t from, size_t topics) {
    char crc[16];
    std::snprintf(crc, sizeof(crc), "%08x", static_cast<unsigned>(crc32(text, from, text.size())));
    return END + std::to_string(topics) + ' ' + crc + '\n';
}

// Version 1: "<id> <seen>" lines, then the pause; the site is not said.
std::string version_1_text(const std::vector<CSeenTopics::RTopic>& topics, std::int64_t paused) {
    std::string text = "pelikant-seen 1\n";
    for (const CSeenTopics::RTopic& topic : topics) {
        text += std::to_string(topic.id) + ' ' + std::to_string(topic.seen) + '\n';
    }
    text += PAUSED + std::to_string(paused) + '\n';
    return text + end_line(text, 16, topics.size());
}

// This version's text, or the second's (no notify line, no follows) to judge a file of it by.
std::string state_text(const CSeenTopics& seen, const std::string& site, int version) {
    const std::vector<CSeenTopics::RTopic> topics = seen.in_order();
    std::string text = HEADER + std::to_string(version) + '\n';
    const size_t from = text.size();
    text += SITE + site + '\n';
    text += FED + std::to_string(seen.fed() ? 1 : 0) + ' ' + std::to_string(seen.highest_id()) + '\n';
    if (version >= 3) {
        text += NOTIFY + std::string(NOTIFY_WHOM[seen.only_followed() ? 1 : 0]) + '\n';
    }
    for (const CSeenTopics::RTopic& topic : topics) {
        text += std::to_string(topic.id) + ' ' + std::to_string(topic.seen) + ' ' +
                std::to_string(topic.known) + FOLLOW_SUFFIX[index(topic.follow)] + '\n';
    }
    text += PAUSED + std::to_string(seen.paused_until()) + '\n';
    return text + end_line(text, from, topics.size());
}

} // namespace

CSeenTopics::RKept& CSeenTopics::meet(std::int32_t id, std::int32_t seen, std::int32_t known) {
    const auto made = topics_.emplace(id, RKept{RTopic{id, seen, known}, clock_});
    if (made.second) {
        ++marked_[index(EFollow::NONE)];
    }
    made.first->second.topic.seen = seen;
    made.first->second.topic.known = known;
    made.first->second.met = clock_;
    return made.first->second;
}

// Followed and muted topics stay whatever their age: the user chose them.
void CSeenTopics::drop_oldest() {
    while (marked_[index(EFollow::NONE)] > MAX_TOPICS) {
        auto oldest = topics_.end();
        for (auto at = topics_.begin(); at != topics_.end(); ++at) {
            const RKept& kept = at->second;
            if (kept.topic.follow == EFollow::NONE &&
                (oldest == topics_.end() || kept.met < oldest->second.met ||
                 (kept.met == oldest->second.met && at->first < oldest->first))) {
                oldest = at;
            }
        }
        topics_.erase(oldest);
        --marked_[index(EFollow::NONE)];
    }
}

std::vector<std::int32_t> CSeenTopics::take(const std::vector<RForumRow>& rows) {
    std::vector<std::int32_t> came(rows.size(), 0);
    if (std::none_of(rows.begin(), rows.end(), [](const RForumRow& row) { return row.is_topic(); })) {
        return came;
    }
    // One tick for the whole feed: the topics of one feed were met together.
    ++clock_;
    // Compared with the ids met before this feed, so that two new topics in one feed are both new
    // whatever their order.
    const std::int32_t highest_before = highest_id_;
    for (size_t i = 0; i < rows.size(); ++i) {
        const RForumRow& row = rows[i];
        if (!row.is_topic()) {
            continue;
        }
        const std::int32_t posts = std::max(row.posts, 0);
        highest_id_ = std::max(highest_id_, row.id);
        const auto found = topics_.find(row.id);
        if (!fed_) {
            meet(row.id, posts, posts);
        } else if (found == topics_.end()) {
            came[i] = row.id > highest_before ? posts : std::min(posts, 1);
            meet(row.id, posts - came[i], posts);
        } else {
            RTopic& topic = found->second.topic;
            topic.seen = topic.follow == EFollow::MUTED ? posts : std::min(topic.seen, posts);
            came[i] = std::min(std::max(posts - topic.known, 0), posts - topic.seen);
            topic.known = posts;
            found->second.met = clock_;
        }
    }
    fed_ = true;
    drop_oldest();
    return came;
}

std::int32_t CSeenTopics::new_posts(const RForumRow& row) const {
    if (!row.is_topic()) {
        return 0;
    }
    const std::int32_t posts = std::max(row.posts, 0);
    const RTopic* topic = find(row.id);
    if (topic == nullptr) {
        return posts;
    }
    return topic->follow == EFollow::MUTED ? 0 : std::max(posts - topic->seen, 0);
}

EFollow CSeenTopics::follow(std::int32_t id) const {
    const RTopic* topic = find(id);
    return topic == nullptr ? EFollow::NONE : topic->follow;
}

bool CSeenTopics::set_follow(std::int32_t id, EFollow follow) {
    const auto found = topics_.find(id);
    if (found == topics_.end()) {
        return false;
    }
    RTopic& topic = found->second.topic;
    if (topic.follow == follow) {
        return true;
    }
    if (follow != EFollow::NONE && marked_[index(follow)] >= MAX_MARKED) {
        return false;
    }
    --marked_[index(topic.follow)];
    ++marked_[index(follow)];
    topic.follow = follow;
    if (follow == EFollow::MUTED) {
        topic.seen = topic.known;
    }
    // A topic no longer followed or muted is met now, so it is not the first to go.
    found->second.met = ++clock_;
    drop_oldest();
    return true;
}

bool CSeenTopics::see(std::int32_t id, std::int32_t posts) {
    posts = std::max(posts, 0);
    ++clock_;
    const auto found = topics_.find(id);
    if (found == topics_.end()) {
        meet(id, posts, posts);
        drop_oldest();
        return true;
    }
    found->second.met = clock_;
    RTopic& topic = found->second.topic;
    const bool changed = topic.seen != posts;
    topic.seen = posts;
    topic.known = std::max(topic.known, posts);
    return changed;
}

bool CSeenTopics::see_all() {
    bool changed = false;
    for (auto& entry : topics_) {
        RTopic& topic = entry.second.topic;
        changed = changed || topic.seen != topic.known;
        topic.seen = topic.known;
    }
    return changed;
}

const CSeenTopics::RTopic* CSeenTopics::find(std::int32_t id) const {
    const auto found = topics_.find(id);
    return found == topics_.end() ? nullptr : &found->second.topic;
}

bool CSeenTopics::pause_until(std::int64_t filetime) {
    if (filetime == paused_until_) {
        return false;
    }
    paused_until_ = filetime;
    return true;
}

std::vector<CSeenTopics::RTopic> CSeenTopics::in_order() const {
    std::vector<const RKept*> kept;
    kept.reserve(topics_.size());
    for (const auto& entry : topics_) {
        kept.push_back(&entry.second);
    }
    std::sort(kept.begin(), kept.end(), [](const RKept* a, const RKept* b) {
        return a->met != b->met ? a->met < b->met : a->topic.id < b->topic.id;
    });
    std::vector<RTopic> topics;
    topics.reserve(kept.size());
    for (const RKept* entry : kept) {
        topics.push_back(entry->topic);
    }
    return topics;
}

bool CSeenTopics::restore(const std::vector<RTopic>& topics, bool fed, std::int32_t highest_id,
                          bool only_followed, std::int64_t paused) {
    std::unordered_map<std::int32_t, RKept> read;
    std::size_t marked[3] = {};
    const std::size_t limits[3] = {MAX_TOPICS, MAX_MARKED, MAX_MARKED};
    std::uint64_t clock = 0;
    for (const RTopic& topic : topics) {
        const size_t kind = index(topic.follow);
        if (topic.id < 0 || topic.seen < 0 || topic.seen > topic.known || kind > 2 ||
            ++marked[kind] > limits[kind] || !read.emplace(topic.id, RKept{topic, ++clock}).second) {
            return false;
        }
    }
    topics_ = std::move(read);
    std::copy(marked, marked + 3, marked_);
    clock_ = clock;
    fed_ = fed;
    highest_id_ = highest_id;
    only_followed_ = only_followed;
    paused_until_ = paused;
    return true;
}

std::wstring new_posts_line(const RNewPosts& count) {
    if (count.posts <= 0) {
        return L"Brak nowych postów";
    }
    return posts_phrase(count.posts) + L" w " + std::to_wstring(count.topics) +
           (count.topics == 1 ? L" temacie" : L" tematach");
}

std::wstring new_since_start_line(std::int64_t posts) {
    return (posts <= 0 ? std::wstring(L"Brak nowych postów") : posts_phrase(posts)) +
           L" od ostatniego uruchomienia";
}

std::wstring others_line(std::int64_t topics) {
    static const wchar_t* const words[] = {L" inny", L" inne", L" innych"};
    return L"i " + std::to_wstring(topics) + words[form_of(topics)];
}

std::string seen_text(const CSeenTopics& seen, const std::string& site) {
    return state_text(seen, site, VERSION);
}

ESeenText read_seen_text(const std::string& text, const std::string& site, CSeenTopics& out) {
    out = CSeenTopics();
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    int version = 0;
    if (!read_word(at, end, HEADER) || !read_number(at, end, '\n', version) || version < 1) {
        return ESeenText::BAD;
    }
    if (version > VERSION) {
        return ESeenText::NEWER;
    }
    std::string file_site = site;
    int fed = 0;
    std::int32_t highest = -1;
    bool only_followed = false;
    if (version >= 2) {
        const char* line_end = std::find(at, end, '\n');
        if (!read_word(at, end, SITE) || line_end == end) {
            return ESeenText::BAD;
        }
        file_site.assign(at, line_end);
        at = line_end + 1;
        if (!read_word(at, end, FED) || !read_number(at, end, ' ', fed) ||
            !read_number(at, end, '\n', highest)) {
            return ESeenText::BAD;
        }
    }
    if (version >= 3) {
        // Which of the two it is, the text written again tells.
        const char* line_end = std::find(at, end, '\n');
        if (!read_word(at, end, NOTIFY) || line_end == end) {
            return ESeenText::BAD;
        }
        only_followed = read_word(at, end, NOTIFY_WHOM[1]);
        at = line_end + 1;
    }
    std::vector<CSeenTopics::RTopic> topics;
    std::int64_t paused = 0;
    // The topics up to the pause; whatever follows is judged by writing the same again.
    while (!read_word(at, end, PAUSED)) {
        CSeenTopics::RTopic topic{};
        if (!read_number(at, end, ' ', topic.id) ||
            !read_number(at, end, version >= 2 ? ' ' : '\n', topic.seen)) {
            return ESeenText::BAD;
        }
        if (version >= 2) {
            // The counts end at a space only where a follow or a mute comes after them.
            const std::from_chars_result known = std::from_chars(at, end, topic.known);
            if (known.ec != std::errc() || known.ptr == end) {
                return ESeenText::BAD;
            }
            at = known.ptr;
            for (EFollow follow : {EFollow::FOLLOWED, EFollow::MUTED}) {
                if (version >= 3 && read_word(at, end, FOLLOW_SUFFIX[index(follow)])) {
                    topic.follow = follow;
                    break;
                }
            }
            if (!read_word(at, end, "\n")) {
                return ESeenText::BAD;
            }
        }
        if (version == 1) {
            topic.known = topic.seen;
            highest = std::max(highest, topic.id);
        }
        topics.push_back(topic);
    }
    if (!read_number(at, end, '\n', paused)) {
        return ESeenText::BAD;
    }
    if (version == 1) {
        fed = topics.empty() ? 0 : 1;
    }
    CSeenTopics read;
    if ((fed != 0 && fed != 1) || !read.restore(topics, fed == 1, highest, only_followed, paused)) {
        return ESeenText::BAD;
    }
    // A changed byte, a number spelt another way: none of them comes out the same.
    const std::string again =
        version == 1 ? version_1_text(topics, paused) : state_text(read, file_site, version);
    if (again != text) {
        return ESeenText::BAD;
    }
    if (file_site != site) {
        return ESeenText::OTHER_SITE;
    }
    out = std::move(read);
    return ESeenText::GOOD;
}

} // namespace feed
