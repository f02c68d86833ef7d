#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "feed/forum_rows.h"

namespace feed {

// How many posts of each topic the user has seen (opened the topic from the program, or marked
// everything read), for at most MAX_SEEN topics, and until when balloons are paused. The topics
// keep the order they were last seen in; past the cap the one seen longest ago goes. GUI thread.
class CSeenTopics {
public:
    static constexpr std::size_t MAX_SEEN = 2000;

    // -1 for a topic never seen.
    std::int32_t posts_seen(std::int32_t id) const;
    // The user has seen the topic with this many posts (below 0 counts as 0), now. True when the
    // counts or the order changed.
    bool see(std::int32_t id, std::int32_t posts);
    // Every topic of a feed's rows, in feed order. True when anything changed.
    bool see_all(const std::vector<RForumRow>& topics);
    bool empty() const { return seen_.empty(); }

    // UTC, in FILETIME units (100 ns since 1601); 0: not paused. True when it changed.
    std::int64_t paused_until() const { return paused_until_; }
    bool pause_until(std::int64_t filetime);

    struct RSeen {
        std::int32_t id;
        std::int32_t posts;
    };
    // Seen longest ago first.
    std::vector<RSeen> in_order() const;
    // Grows with every change, so a file can tell whether it is behind.
    std::uint64_t revision() const { return revision_; }

private:
    struct RPosts {
        std::int32_t posts;
        std::uint64_t when; // the revision that saw it
    };
    std::unordered_map<std::int32_t, RPosts> seen_;
    std::uint64_t last_seen_ = 0;
    std::int64_t paused_until_ = 0;
    std::uint64_t revision_ = 0;
};

// The posts of topic that are new for the user: all of them for a topic never seen, otherwise those
// beyond the posts seen (none when the topic has fewer now).
std::int32_t new_posts(const RForumRow& topic, const CSeenTopics& seen);

struct RNewPosts {
    std::int64_t posts = 0;
    std::int64_t topics = 0; // those with new posts
};
// Over rows whose new posts are marked.
RNewPosts count_new(const std::vector<RForumRow>& topics);

// "3 nowe posty w 2 tematach", for the status bar and the tray tip; "Brak nowych postów" for none.
std::wstring new_posts_line(const RNewPosts& count);
// "5 nowych postów od ostatniego uruchomienia", for the balloon after a start.
std::wstring new_since_start_line(std::int64_t posts);

// The state file, in UTF-8 lines ending in LF:
//   pelikant-seen 1
//   <id> <posts>          a line a topic, seen longest ago first
//   paused <filetime>
//   end <topics> <CRC-32 of the lines between the first and this one, 8 lowercase hex digits>
// Anything else (another version, a cut, a changed byte, another spelling of a number) is bad.
std::string seen_text(const CSeenTopics& seen);
// False, and out empty, for a text that is not exactly what seen_text writes.
bool read_seen_text(const std::string& text, CSeenTopics& out);
// A file of 2,000 topics takes under 50 KiB.
const std::int64_t MAX_SEEN_FILE = 256 * 1024;

// Keeps CSeenTopics in a file, writing at most once a second, and only after a change. GUI thread.
class CSeenFile {
public:
    enum Load {
        NO_FILE, // the first start ever
        LOADED,
        BAD, // damaged, unreadable or of another version: a fresh start, rewritten at the next save
    };
    enum Save {
        SAVE_NOTHING, // nothing to write, or a write within the last second (pending() tells)
        SAVE_WRITTEN,
        SAVE_FAILED, // the first failed write since the last good one: worth telling the user once
        SAVE_FAILED_AGAIN,
    };
    static constexpr std::int64_t MIN_INTERVAL_MS = 1000;

    explicit CSeenFile(std::wstring path) : path_(std::move(path)) {}

    // Replaces topics() with what the file holds (nothing unless LOADED).
    Load load();
    // Change these through their own calls (not by assigning others); save() sees the change.
    CSeenTopics& topics() { return topics_; }
    const CSeenTopics& topics() const { return topics_; }

    // At now_ms (GetTickCount64): writes topics() if they changed since the last write, or the
    // load was bad, unless the last attempt came within MIN_INTERVAL_MS (call again from a timer).
    // A failed write is tried again at the next change.
    Save save(std::int64_t now_ms);
    // The same whenever the last attempt was: at exit, or a change of the last second is lost.
    Save save_before_exit() { return write(); }
    bool pending() const { return rewrite_ || topics_.revision() != written_; }
    const std::wstring& path() const { return path_; }

private:
    Save write();

    std::wstring path_;
    CSeenTopics topics_;
    std::uint64_t written_ = 0; // the revision last written or attempted
    bool rewrite_ = false;
    bool failing_ = false;
    std::int64_t attempted_ms_ = INT64_MIN / 2;
};

// The status line for SAVE_FAILED.
extern const wchar_t SAVE_FAILED_LINE[];

} // namespace feed
