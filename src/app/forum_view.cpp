#include "app/forum_view.h"

#include <algorithm>
#include <string>

#include "app/theme.h"
#include "resources/resource.h"
#include "wapi/dpi.h"

namespace app {

const RTopicIcon TOPIC_ICONS[8] = {
    {{true, false, false}, IDI_TOPIC_OPEN},          {{true, false, true}, IDI_TOPIC_OPEN_VISITED},
    {{true, true, false}, IDI_TOPIC_PINNED},         {{true, true, true}, IDI_TOPIC_PINNED_VISITED},
    {{false, false, false}, IDI_TOPIC_CLOSED},       {{false, false, true}, IDI_TOPIC_CLOSED_VISITED},
    {{false, true, false}, IDI_TOPIC_CLOSED_PINNED}, {{false, true, true}, IDI_TOPIC_CLOSED_PINNED_VISITED},
};

int topic_image(const feed::RTopicState& state) {
    for (int image = 0; image < 8; ++image) {
        if (TOPIC_ICONS[image].state == state) {
            return image;
        }
    }
    return I_IMAGENONE; // every state is in the table
}

namespace {

struct RColumn {
    const wchar_t* text;
    int width; // at 96 DPI
};
const RColumn COLUMNS[] = {
    {L"Temat na forum", 310}, {L"Postów", 50}, {L"Ostatnia aktualizacja", 130}, {L"Stan", 90}};
const int COLUMN_COUNT = 4;
// Room a header leaves around its text, at 96 DPI.
const int HEADER_PADDING = 16;

// A row's post count, with the posts new for the user: "12 (+3)".
std::wstring posts_text(const feed::RForumRow& row) {
    if (!row.is_topic()) {
        return std::wstring();
    }
    std::wstring text = std::to_wstring(row.posts);
    if (row.new_posts > 0) {
        text += L" (+" + std::to_wstring(row.new_posts) + L")";
    }
    return text;
}

// What the user asked of the topic, in words.
const wchar_t* follow_text(feed::EFollow follow) {
    switch (follow) {
    case feed::EFollow::FOLLOWED:
        return L"obserwowany";
    case feed::EFollow::MUTED:
        return L"wyciszony";
    default:
        return L"";
    }
}

void insert_rows(wapi::CListView& list, const std::vector<feed::RForumRow>& rows) {
    for (const feed::RForumRow& row : rows) {
        // A row that fails to go in is left out; the others keep their own ids.
        const int item = list.insert_item(row.title.c_str(), static_cast<LPARAM>(row.id));
        if (item < 0) {
            continue;
        }
        // No topic's icon or count for a row that is no topic.
        list.set_item_image(item, row.is_topic() ? topic_image(row.state) : I_IMAGENONE);
        list.set_item_text(item, 1, posts_text(row).c_str());
        list.set_item_text(item, 2, row.update.c_str());
        list.set_item_text(item, 3, follow_text(row.follow));
    }
}

// The ids of the selected items.
std::vector<LPARAM> selected_ids(const wapi::CListView& list) {
    std::vector<LPARAM> ids;
    for (int item = list.next_item(-1, LVNI_SELECTED); item >= 0;
         item = list.next_item(item, LVNI_SELECTED)) {
        LPARAM id = 0;
        if (list.item_data(item, id)) {
            ids.push_back(id);
        }
    }
    return ids;
}

} // namespace

void CForumView::attach(wapi::CListView* list) {
    list_ = list;
    if (list_ == nullptr) {
        return;
    }
    for (int i = 0; i < COLUMN_COUNT; ++i) {
        list_->insert_column(i, COLUMNS[i].text, COLUMNS[i].width);
    }
    shown_ = {feed::waiting_row()};
    insert_rows(*list_, shown_);
}

void CForumView::set_dpi(HINSTANCE instance, UINT dpi) {
    wapi::CFont bold = wapi::message_font(dpi, true);
    if (bold.is_valid()) {
        bold_font_ = std::move(bold);
    }
    const int icon_size = wapi::system_metric(SM_CXSMICON, dpi);
    wapi::CImageList images = wapi::make_image_list(icon_size);
    if (images.is_valid()) {
        for (const RTopicIcon& image : TOPIC_ICONS) {
            wapi::add_icon(images.get(), wapi::load_icon(instance, image.icon, icon_size).get());
        }
        if (list_ != nullptr) {
            list_->set_image_list(images.get());
        }
        images_ = std::move(images);
    }
    if (list_ == nullptr) {
        return;
    }
    for (int i = 0; i < COLUMN_COUNT; ++i) {
        const int text = list_->string_width(COLUMNS[i].text) + wapi::scale(HEADER_PADDING, dpi);
        list_->set_column_width(i, std::max(wapi::scale(COLUMNS[i].width, dpi), text));
    }
}

const feed::RForumRow* CForumView::shown_row(LPARAM id) const {
    for (const feed::RForumRow& row : shown_) {
        if (row.is_topic() && row.id == id) {
            return &row;
        }
    }
    return nullptr;
}

bool CForumView::on_notify(NMHDR& header, bool dark, LRESULT& result) const {
    if (list_ == nullptr || header.hwndFrom != list_->handle ||
        header.code != static_cast<UINT>(NM_CUSTOMDRAW)) {
        return false;
    }
    NMLVCUSTOMDRAW& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) {
        result = draw.nmcd.dwDrawStage == CDDS_PREPAINT ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
        return true;
    }
    // The item's data is its topic's id.
    const feed::RForumRow* row = shown_row(draw.nmcd.lItemlParam);
    if (row != nullptr && row->follow == feed::EFollow::MUTED) {
        result = colour_row(draw, dark, EColour::GREY_TEXT);
    } else if (row != nullptr && row->new_posts > 0 && bold_font_.is_valid()) {
        SelectObject(draw.nmcd.hdc, bold_font_.get());
        result = colour_row(draw, dark, EColour::NEW_TEXT) | CDRF_NEWFONT;
    } else {
        result = colour_row(draw, dark, EColour::LIST_TEXT);
    }
    return true;
}

void CForumView::prepare_menu(std::int32_t id, HMENU menu) const {
    const feed::RForumRow* row = shown_row(id);
    const bool has_new = row != nullptr && row->new_posts > 0;
    EnableMenuItem(menu, IDM_MARK_READ, MF_BYCOMMAND | (has_new ? MF_ENABLED : MF_GRAYED));
    const feed::EFollow follow = row != nullptr ? row->follow : feed::EFollow::NONE;
    if (follow == feed::EFollow::FOLLOWED) {
        ModifyMenuW(menu, IDM_FOLLOW, MF_BYCOMMAND | MF_STRING, IDM_FOLLOW, L"Przestań o&bserwować");
    }
    if (follow == feed::EFollow::MUTED) {
        ModifyMenuW(menu, IDM_MUTE, MF_BYCOMMAND | MF_STRING, IDM_MUTE, L"&Wyłącz wyciszenie");
    }
}

void CForumView::show(const std::vector<feed::RForumRow>& rows) {
    if (list_ == nullptr || rows == shown_) {
        return; // a refill would only lose the user's place
    }
    wapi::CListView& list = *list_;
    LPARAM top_id = -1;
    const int top = list.top_item();
    list.item_data(top, top_id);
    LPARAM focused_id = -1;
    const bool focused = list.item_data(list.focused_item(), focused_id);
    const std::vector<LPARAM> selected = selected_ids(list);

    list.set_redraw(false);
    list.delete_all();
    insert_rows(list, rows);
    shown_ = rows;
    for (LPARAM id : selected) {
        const int item = id >= 0 ? list.find_item(id) : -1;
        if (item >= 0) {
            list.set_item_state(item, LVIS_SELECTED, LVIS_SELECTED);
        }
    }
    const int new_focus = focused && focused_id >= 0 ? list.find_item(focused_id) : -1;
    if (new_focus >= 0) {
        list.set_item_state(new_focus, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    // Scrolled last: the list brings a row that takes the focus into view.
    // The same topic at the top if it is still there, else the same position.
    const int new_top = top_id >= 0 ? list.find_item(top_id) : -1;
    list.scroll_to(new_top >= 0 ? new_top : std::min(top, list.item_count() - 1));
    list.set_redraw(true);
}

} // namespace app
