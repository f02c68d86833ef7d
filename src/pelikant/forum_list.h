#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pelikant/parse_xml.h"
#include "wapi/controls.h"

namespace pelikant {

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
std::vector<RForumRow> forum_rows(const RForumFeed& feed);
// Columns and the one row that says the topics are coming, shown until the first feed has
// parsed; shown becomes what the list shows.
void setup_forum_list(wapi::CListView& list, std::vector<RForumRow>& shown);
// Column widths for dpi, each wide enough for its header text in the list's font.
void size_forum_columns(wapi::CListView& list, UINT dpi);
// Refills list with rows unless it shows them already (shown). The first visible topic and the
// selected ones stay where they are when they are still there; redrawing is off meanwhile.
void fill_forum_list(wapi::CListView& list, const std::vector<RForumRow>& rows,
                     std::vector<RForumRow>& shown);

} // namespace pelikant
