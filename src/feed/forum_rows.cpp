#include "feed/forum_rows.h"

#include "feed/feed_state.h"

namespace feed {

RTopicState topic_state(const xml::RTopic& topic) {
    RTopicState state;
    state.open = topic.IsOpen;
    state.pinned = topic.OrderKey > 0;
    state.visited = topic.Visited;
    return state;
}

std::vector<RForumRow> forum_rows(const xml::RForumFeed& feed) {
    std::vector<RForumRow> rows;
    rows.reserve(feed.Topics.size());
    for (const xml::RTopic& topic : feed.Topics) {
        RForumRow row;
        row.id = topic.Id;
        row.state = topic_state(topic);
        row.title = string::to_standard(topic.Title);
        row.posts = topic.PostCount;
        row.update = string::to_standard(topic.UpdateDT);
        rows.push_back(std::move(row));
    }
    return rows;
}

RForumRow waiting_row() {
    RForumRow row;
    row.title = waiting_state().line;
    return row;
}

} // namespace feed
