#pragma once
#include <vector>

#include "feed/forum_rows.h"
#include "wapi/controls.h"

namespace app {

// The forum list's images, by image index: one icon per topic state. The image list is made from
// this table and a row's image picked from it.
struct RTopicIcon {
    feed::RTopicState state;
    int icon; // resource id
};
extern const RTopicIcon TOPIC_ICONS[8];
// The image index of a state.
int topic_image(const feed::RTopicState& state);

// The forum list; GUI thread only.
// Columns and the one row that says the topics are coming, shown until the first feed has
// parsed; shown becomes what the list shows.
void setup_forum_list(wapi::CListView& list, std::vector<feed::RForumRow>& shown);
// Column widths for dpi, each wide enough for its header text in the list's font.
void size_forum_columns(wapi::CListView& list, UINT dpi);
// Refills list with rows unless it shows them already (shown). The first visible topic and the
// selected ones stay where they are when they are still there; redrawing is off meanwhile.
void fill_forum_list(wapi::CListView& list, const std::vector<feed::RForumRow>& rows,
                     std::vector<feed::RForumRow>& shown);
// The list's custom draw: the rows of topics with new posts in bold, each row in the colours of the
// mode (dark or not). The answer for the list (CDRF_*).
LRESULT draw_forum_row(NMLVCUSTOMDRAW& draw, const std::vector<feed::RForumRow>& shown, HFONT bold,
                       bool dark);

} // namespace app
