#include "feed/forum_rows.h"

#include "feed/feed_state.h"
#include "resources/resource.h"

namespace feed {

const RTopicIcon LIST_ICONS[9] = {
    {false, false, false, IDI_PELIKANT},
    {true, false, false, IDI_TOPIC_OPEN},
    {true, false, true, IDI_TOPIC_OPEN_VISITED},
    {true, true, false, IDI_TOPIC_PINNED},
    {true, true, true, IDI_TOPIC_PINNED_VISITED},
    {false, false, false, IDI_TOPIC_CLOSED},
    {false, false, true, IDI_TOPIC_CLOSED_VISITED},
    {false, true, false, IDI_TOPIC_CLOSED_PINNED},
    {false, true, true, IDI_TOPIC_CLOSED_PINNED_VISITED},
};

int topic_image(const xml::RTopic& topic) {
    const bool pinned = topic.OrderKey > 0;
    for (int image = 1; image < 9; ++image) {
        const RTopicIcon& state = LIST_ICONS[image];
        if (state.open == topic.IsOpen && state.pinned == pinned && state.visited == topic.Visited) {
            return image;
        }
    }
    return -1; // every state is in the table
}

std::vector<RForumRow> forum_rows(const xml::RForumFeed& feed) {
    std::vector<RForumRow> rows;
    rows.reserve(feed.Topics.size());
    for (const xml::RTopic& topic : feed.Topics) {
        RForumRow row;
        row.id = topic.Id;
        row.image = topic_image(topic);
        row.title = string::to_standard(topic.Title);
        row.posts = std::to_wstring(topic.PostCount);
        row.update = string::to_standard(topic.UpdateDT);
        rows.push_back(std::move(row));
    }
    return rows;
}

RForumRow waiting_row() {
    return RForumRow{-1, -1, waiting_state().line, L"", L""};
}

} // namespace feed
