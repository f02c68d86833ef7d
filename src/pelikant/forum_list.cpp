#include "pelikant/forum_list.h"

#include <cstdio>

#include "pelikant/handle_nexum.h"

namespace pelikant {

void setup_forum_list(wapi::CListView& list) {
    list.insert_column(0, "Temat na forum", 400);
    list.insert_column(1, "Post\xf3w", 50); // code page 1250
    list.insert_column(2, "Ostatnia aktualizacja", 130);
    struct RPlaceholder {
        const wchar_t* first;
        const wchar_t* second;
        int image;
    } rows[] = {{L"t1", L"t2", 1}, {L"t3", L"t4", 4}, {L"t5", L"t6", -1}};
    for (const RPlaceholder& row : rows) {
        const int item = list.insert_item(row.first, 0);
        if (item < 0) {
            continue;
        }
        list.set_item_text(item, 1, row.second);
        if (row.image >= 0) {
            list.set_item_image(item, row.image);
        }
    }
}

void fill_forum_list(wapi::CListView& list, const RForumFeed& feed) {
    list.set_redraw(false);
    list.delete_all();
    for (const RTopic& topic : feed.Topics) {
        const int item = list.insert_item(topic.Title.c_str(), 0);
        if (item < 0) {
            continue;
        }
        list.set_item_image(item, topic_image(topic));
        char count[16];
        std::snprintf(count, sizeof(count), "%d", static_cast<int>(topic.PostCount));
        list.set_item_text(item, 1, count);
        list.set_item_text(item, 2, topic.UpdateDT.c_str());
    }
    list.set_redraw(true);
}

} // namespace pelikant
