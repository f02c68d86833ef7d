#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "feed/forum_rows.h"

namespace feed {

// What the program knows of each topic it has met in the feeds: the posts the user has seen and
// the posts the last feed holding the topic showed, for at most MAX_TOPICS topics (the one met
// longest ago goes first) besides those the user follows or muted (at most MAX_MARKED of each,
// never dropped); the highest topic id met; whether a feed was ever taken; whether only followed
// topics are told of; and until when balloons are paused. GUI thread.
class CSeenTopics {
public:
    static constexpr std::size_t MAX_TOPICS = 2000;
    static constexpr std::size_t MAX_MARKED = 1000;

    struct RTopic {
        std::int32_t id;
        std::int32_t seen;  // posts the user has seen
        std::int32_t known; // posts the last feed holding the topic showed
        EFollow follow = EFollow::NONE;
    };

    // A feed's rows, in feed order. Answers, for each row, the posts that came since the feed
    // before that held its topic (0 for a row that is no topic), capped at its new posts:
    // - the first feed ever counts as seen, and nothing came;
    // - a topic met for the first time is new, all its posts, when its id is above every id met
    //   before; otherwise it is an older topic that came back to the feed, or one dropped from
    //   the record, and exactly one post is new;
    // - a topic showing fewer posts than were seen has lost posts: seen goes down with it;
    // - a muted topic's posts are seen as they come.
    // A feed without topics changes nothing.
    std::vector<std::int32_t> take(const std::vector<RForumRow>& rows);
    // Posts of the row the user has not seen: all of them for a topic never met, none of a muted
    // one.
    std::int32_t new_posts(const RForumRow& row) const;
    EFollow follow(std::int32_t id) const;
    // False, and nothing changed, for a topic never met, or when MAX_MARKED topics are followed
    // (or muted) already. A topic muted now has all its posts seen.
    bool set_follow(std::int32_t id, EFollow follow);
    bool only_followed() const { return only_followed_; }
    void set_only_followed(bool on) { only_followed_ = on; }
    // Whether posts of a topic so marked are counted and told of.
    bool told_of(EFollow follow) const {
        return follow == EFollow::FOLLOWED || (follow == EFollow::NONE && !only_followed_);
    }
    // The user has seen the topic with this many posts. True when that changed anything.
    bool see(std::int32_t id, std::int32_t posts);
    // Every topic met counts as seen with the posts its last feed showed.
    bool see_all();

    bool fed() const { return fed_; }
    std::int32_t highest_id() const { return highest_id_; }
    std::size_t size() const { return topics_.size(); }
    // Null for a topic never met (or dropped).
    const RTopic* find(std::int32_t id) const;

    // UTC, in FILETIME units (100 ns since 1601); 0: not paused. True when it changed.
    std::int64_t paused_until() const { return paused_until_; }
    bool pause_until(std::int64_t filetime);

    // Met longest ago first.
    std::vector<RTopic> in_order() const;
    // What a file holds, in the order of in_order(). False (and nothing changed) when the topics
    // are not a record this class could have made: a repeated id, a negative id or count, more
    // seen than known, more of a kind than its limit.
    bool restore(const std::vector<RTopic>& topics, bool fed, std::int32_t highest_id, bool only_followed,
                 std::int64_t paused);

private:
    struct RKept {
        RTopic topic;
        std::uint64_t met; // when it was last in a feed or seen: larger is later
    };
    RKept& meet(std::int32_t id, std::int32_t seen, std::int32_t known);
    void drop_oldest();

    std::unordered_map<std::int32_t, RKept> topics_;
    std::size_t marked_[3] = {}; // topics by their EFollow
    std::uint64_t clock_ = 0;
    bool fed_ = false;
    bool only_followed_ = false;
    std::int32_t highest_id_ = -1;
    std::int64_t paused_until_ = 0;
};

struct RNewPosts {
    std::int64_t posts = 0;
    std::int64_t topics = 0; // those with new posts
};

// "3 nowe posty w 2 tematach", for the status bar and the tray tip; "Brak nowych postów" for none.
std::wstring new_posts_line(const RNewPosts& count);
// "5 nowych postów od ostatniego uruchomienia", for the balloon after a start.
std::wstring new_since_start_line(std::int64_t posts);
// "i 2 inne", after the titles a balloon has room for.
std::wstring others_line(std::int64_t topics);

// The state file, in UTF-8 lines ending in LF:
//   pelikant-seen 3
//   site <the site's address>
//   fed <0 or 1> <highest topic id met, -1 for none>
//   notify <all, or followed: only followed topics are told of>
//   <id> <seen> <known>[ followed| muted]   a line a topic, met longest ago first
//   paused <filetime>
//   end <topics> <CRC-32 of the lines between the first and this one, 8 lowercase hex digits>
// Version 2 had no notify line and followed and muted no topic. Version 1 had neither the site nor
// the fed line, and one count a topic: it is read with known equal to seen, as fed when it holds
// a topic, and its highest id the highest it holds. Anything else (a cut, a changed byte, another
// spelling of a number) is bad.
std::string seen_text(const CSeenTopics& seen, const std::string& site);
enum class ESeenText {
    GOOD,
    BAD,
    NEWER,      // written by a later version of the program: left alone
    OTHER_SITE, // the state of another site's build: left alone
};
// Anything but GOOD leaves out empty.
ESeenText read_seen_text(const std::string& text, const std::string& site, CSeenTopics& out);
// A file of 4,000 topics takes under 160 KiB.
const std::int64_t MAX_SEEN_FILE = 512 * 1024;

} // namespace feed
