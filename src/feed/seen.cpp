#include "feed/seen.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "files/small_file.h"

namespace feed {

namespace {

const char HEADER[] = "pelikant-seen 1\n";
const char PAUSED[] = "paused ";

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

// Reads a number from at up to the first byte of stop (which must follow it); false otherwise.
template <class T> bool read_number(const char*& at, const char* end, char stop, T& out) {
    const std::from_chars_result read = std::from_chars(at, end, out);
    if (read.ec != std::errc() || read.ptr == end || *read.ptr != stop) {
        return false;
    }
    at = read.ptr + 1;
    return true;
}

} // namespace

std::int32_t CSeenTopics::posts_seen(std::int32_t id) const {
    const auto found = seen_.find(id);
    return found == seen_.end() ? -1 : found->second.posts;
}

bool CSeenTopics::see(std::int32_t id, std::int32_t posts) {
    posts = std::max(posts, 0);
    const auto found = seen_.find(id);
    if (found != seen_.end() && found->second.posts == posts && found->second.when == last_seen_) {
        return false;
    }
    last_seen_ = ++revision_;
    seen_[id] = RPosts{posts, last_seen_};
    if (seen_.size() > MAX_SEEN) {
        seen_.erase(std::min_element(seen_.begin(), seen_.end(), [](const auto& a, const auto& b) {
            return a.second.when < b.second.when;
        }));
    }
    return true;
}

bool CSeenTopics::see_all(const std::vector<RForumRow>& topics) {
    bool changed = false;
    for (const RForumRow& topic : topics) {
        if (topic.is_topic()) {
            changed = see(topic.id, topic.posts) || changed;
        }
    }
    return changed;
}

bool CSeenTopics::pause_until(std::int64_t filetime) {
    if (filetime == paused_until_) {
        return false;
    }
    paused_until_ = filetime;
    ++revision_;
    return true;
}

std::vector<CSeenTopics::RSeen> CSeenTopics::in_order() const {
    std::vector<std::pair<std::uint64_t, RSeen>> stamped;
    stamped.reserve(seen_.size());
    for (const auto& entry : seen_) {
        stamped.push_back({entry.second.when, RSeen{entry.first, entry.second.posts}});
    }
    std::sort(stamped.begin(), stamped.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<RSeen> topics;
    topics.reserve(stamped.size());
    for (const auto& entry : stamped) {
        topics.push_back(entry.second);
    }
    return topics;
}

std::int32_t new_posts(const RForumRow& topic, const CSeenTopics& seen) {
    if (!topic.is_topic()) {
        return 0;
    }
    const std::int32_t posts = std::max(topic.posts, 0);
    const std::int32_t seen_posts = seen.posts_seen(topic.id);
    return seen_posts < 0 ? posts : std::max(posts - seen_posts, 0);
}

RNewPosts count_new(const std::vector<RForumRow>& topics) {
    RNewPosts count;
    for (const RForumRow& topic : topics) {
        count.posts += topic.new_posts;
        count.topics += topic.new_posts > 0 ? 1 : 0;
    }
    return count;
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

std::string seen_text(const CSeenTopics& seen) {
    const std::vector<CSeenTopics::RSeen> topics = seen.in_order();
    std::string text = HEADER;
    for (const CSeenTopics::RSeen& topic : topics) {
        text += std::to_string(topic.id) + ' ' + std::to_string(topic.posts) + '\n';
    }
    text += PAUSED + std::to_string(seen.paused_until()) + '\n';
    char crc[16];
    std::snprintf(crc, sizeof(crc), "%08x",
                  static_cast<unsigned>(crc32(text, sizeof(HEADER) - 1, text.size())));
    return text + "end " + std::to_string(topics.size()) + ' ' + crc + '\n';
}

bool read_seen_text(const std::string& text, CSeenTopics& out) {
    out = CSeenTopics();
    if (text.compare(0, sizeof(HEADER) - 1, HEADER) != 0) {
        return false;
    }
    CSeenTopics read;
    const char* at = text.data() + sizeof(HEADER) - 1;
    const char* const end = text.data() + text.size();
    std::int64_t paused = 0;
    // The entries up to the pause; whatever follows is judged by writing the same again.
    for (;;) {
        if (end - at > 7 && std::equal(PAUSED, PAUSED + 7, at)) {
            at += 7;
            if (!read_number(at, end, '\n', paused)) {
                return false;
            }
            break;
        }
        std::int32_t id = 0, posts = 0;
        if (!read_number(at, end, ' ', id) || !read_number(at, end, '\n', posts)) {
            return false;
        }
        read.see(id, posts);
    }
    read.pause_until(paused);
    // A changed byte, a repeated id, a number spelt another way: none of them comes out the same.
    if (seen_text(read) != text) {
        return false;
    }
    out = std::move(read);
    return true;
}

const wchar_t SAVE_FAILED_LINE[] = L"Nie udało się zapisać listy przeczytanych tematów";

CSeenFile::Load CSeenFile::load() {
    topics_ = CSeenTopics();
    std::string text;
    const files::ReadOutcome read = files::read_small_file(path_, MAX_SEEN_FILE, text);
    const Load result = read == files::READ_MISSING                               ? NO_FILE
                        : read == files::READ_OK && read_seen_text(text, topics_) ? LOADED
                                                                                  : BAD;
    written_ = topics_.revision();
    rewrite_ = result == BAD;
    return result;
}

CSeenFile::Save CSeenFile::save(std::int64_t now_ms) {
    if (!pending() || now_ms - attempted_ms_ < MIN_INTERVAL_MS) {
        return SAVE_NOTHING;
    }
    attempted_ms_ = now_ms;
    return write();
}

CSeenFile::Save CSeenFile::write() {
    if (!pending()) {
        return SAVE_NOTHING;
    }
    // Whatever comes of it, the next attempt waits for the next change.
    written_ = topics_.revision();
    rewrite_ = false;
    if (files::write_file_atomically(path_, seen_text(topics_))) {
        failing_ = false;
        return SAVE_WRITTEN;
    }
    const bool first = !failing_;
    failing_ = true;
    return first ? SAVE_FAILED : SAVE_FAILED_AGAIN;
}

} // namespace feed
