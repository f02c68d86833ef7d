#pragma once
#include <cstdint>
#include <vector>

#include <windows.h>

#include "feed/forum_rows.h"
#include "wapi/controls.h"
#include "wapi/dpi.h"

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

// The forum list: its columns, its rows (new posts bold, muted topics grey, and what the user
// asked of a topic said in words in "Stan", for those who cannot see bold or grey), its place
// kept across refills, its icons and fonts for the window's DPI, and what a topic's menu offers.
// GUI thread only.
class CForumView {
public:
    // The list, not owned: its columns and the one row that says the topics are coming, shown
    // until the first feed has parsed.
    void attach(wapi::CListView* list);
    // Before the list goes.
    void detach() { list_ = nullptr; }
    // Icons, the bold font and column widths (each wide enough for its header) for dpi.
    void set_dpi(HINSTANCE instance, UINT dpi);
    // Refills the list with rows unless it shows them already. The first visible topic and the
    // selected ones stay where they are when they are still there; redrawing is off meanwhile.
    void show(const std::vector<feed::RForumRow>& rows);
    // The list's custom draw, in the colours of the mode (dark or not); true, and the answer for
    // the list (CDRF_*), when header is its.
    bool on_notify(NMHDR& header, bool dark, LRESULT& result) const;
    // A topic's menu as the row is now: "Oznacz jako przeczytany" greyed without new posts, and
    // following and muting offered the other way round when on.
    void prepare_menu(std::int32_t id, HMENU menu) const;

private:
    const feed::RForumRow* shown_row(LPARAM id) const;

    wapi::CListView* list_ = nullptr; // not owned
    std::vector<feed::RForumRow> shown_;
    wapi::CFont bold_font_;
    // Replaced, not changed, when the DPI changes: the list holds the old one until it has the new.
    wapi::CImageList images_;
};

} // namespace app
