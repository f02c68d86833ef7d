#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "xml/parse_xml.h"

namespace feed {

// What tells topics apart in the list: open or closed, pinned (an OrderKey above 0), and visited
// on the site. The window gives each state its own icon.
struct RTopicState {
    bool open = true;
    bool pinned = false;
    bool visited = false;

    bool operator==(const RTopicState& o) const {
        return open == o.open && pinned == o.pinned && visited == o.visited;
    }
};
RTopicState topic_state(const xml::RTopic& topic);

// What the user asked of a topic: to hear of it even while only followed topics are told of, or
// never to hear of it.
enum class EFollow : std::uint8_t { NONE, FOLLOWED, MUTED };

// One row of the forum list as it is shown; the item's data is the topic's id, so that a row
// opens its own topic whatever the list shows by then.
struct RForumRow {
    std::int32_t id = -1; // -1: no topic (a placeholder, with no icon and no count)
    RTopicState state;
    std::wstring title, update;
    std::int32_t posts = 0;
    std::int32_t new_posts = 0; // of posts, those the user has not seen
    EFollow follow = EFollow::NONE;

    bool is_topic() const { return id >= 0; }
    bool operator==(const RForumRow& o) const {
        return id == o.id && state == o.state && title == o.title && update == o.update && posts == o.posts &&
               new_posts == o.new_posts && follow == o.follow;
    }
    bool operator!=(const RForumRow& o) const { return !(*this == o); }
};

// One row per topic in feed order.
std::vector<RForumRow> forum_rows(const xml::RForumFeed& feed);
// The one row shown until the first feed has parsed.
RForumRow waiting_row();

} // namespace feed
