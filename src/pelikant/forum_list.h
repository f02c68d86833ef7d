#pragma once
#include "pelikant/parse_xml.h"
#include "wapi/controls.h"

namespace pelikant {

// Columns and the placeholder rows shown until the first feed has parsed.
void setup_forum_list(wapi::CListView& list);
// One row per topic in feed order (the order open_topic relies on): title, post count and last
// update, with the topic's state as its image. Redrawing is off while the rows go in.
void fill_forum_list(wapi::CListView& list, const RForumFeed& feed);

} // namespace pelikant
