#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "xml/parse_xml.h"

namespace feed {

// The forum list's images, by image index: the program's icon, then one per topic state. The
// list is made from this table and topic_image picks from it.
struct RTopicIcon {
    bool open;
    bool pinned;
    bool visited;
    int icon; // resource id
};
extern const RTopicIcon LIST_ICONS[9];

// The image index of a topic's state, 1 to 8: open or closed, pinned (an OrderKey above 0),
// visited.
int topic_image(const xml::RTopic& topic);

// One row of the forum list as it is shown; the item's data is the topic's id, so that a row
// opens its own topic whatever the list shows by then.
struct RForumRow {
    std::int32_t id = -1; // -1: no topic (a placeholder)
    int image = -1;       // -1: none
    std::wstring title, posts, update;

    bool operator==(const RForumRow& o) const {
        return id == o.id && image == o.image && title == o.title && posts == o.posts && update == o.update;
    }
    bool operator!=(const RForumRow& o) const { return !(*this == o); }
};

// One row per topic in feed order.
std::vector<RForumRow> forum_rows(const xml::RForumFeed& feed);
// The one row shown until the first feed has parsed.
RForumRow waiting_row();

} // namespace feed
