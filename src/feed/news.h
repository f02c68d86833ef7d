#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "feed/forum_rows.h"
#include "feed/seen.h"
#include "string/basic_string.h"

namespace feed {

// A balloon: its title and text, and the topic a click on it opens (-1: it names several, or
// none).
struct RBalloon {
    std::wstring title;
    std::wstring text;
    std::int32_t topic_id = -1; // -1: the balloon names no single topic, and a click opens none
};
// What a balloon's text holds at most (the shell's limit), and the titles it names at least when
// posts came in several topics.
const size_t MAX_BALLOON_TEXT = 255;
const size_t MIN_BALLOON_TOPICS = 3;

// topics, the one updated last first (by the greatest update text; the earlier on ties).
std::vector<const RForumRow*> latest_first(std::vector<const RForumRow*> topics);
// The balloon naming topic: "<site URL> (Postów: N)" and the topic's title, or a general line
// when the title is blank (the shell shows no balloon without a text).
RBalloon topic_balloon(const std::string& site_url, const RForumRow& topic);

// What is new for the user in the feeds that come, and when a balloon tells of it: posts the user
// has not seen, of topics that appeared or grew since the user last saw them. Muted topics are
// never counted nor told of; while only followed topics are told of, the others are marked in
// the list but neither counted nor told of. GUI thread only.
class CNews {
public:
    // seen: what the user has seen, kept by its file (not owned).
    CNews(CSeenTopics& seen, std::string site_url);

    // A run begins: its first feed is compared with what the last run's feeds showed.
    void begin();
    // A feed's topics, in feed order, which topics() then holds with each one's new posts marked.
    // True, and the balloon, when posts came that the user has not seen: those that came since
    // the feed before that held their topic (at the run's first feed, since the last run), in one
    // topic by its name, in several by their titles. While hold, none is shown: they wait for
    // release.
    bool take(std::vector<RForumRow> topics, bool hold, RBalloon& balloon);
    // What came while balloons were held and is still new, in one balloon; false when nothing is.
    bool release(RBalloon& balloon);
    // The user opened a topic (true when that changed what is new), or marked everything read:
    // seen with its posts now.
    bool open(std::int32_t id);
    void open_all();
    enum EFollowed { FOLLOW_SET, FOLLOW_UNCHANGED, FOLLOW_FULL };
    // Follows, mutes or leaves alone a topic of the last feed.
    EFollowed set_follow(std::int32_t id, EFollow follow);
    void set_only_followed(bool on);
    bool only_followed() const { return seen_.only_followed(); }

    // The last feed's topics, marked.
    const std::vector<RForumRow>& topics() const { return topics_; }
    // The new posts told of.
    RNewPosts count() const;

private:
    void mark();

    CSeenTopics& seen_; // not owned
    bool first_ = true;
    std::string site_url_;
    std::vector<RForumRow> topics_;
    // The topics posts came in while balloons were held.
    std::vector<std::int32_t> held_;
};

} // namespace feed
