#include "app/result_view.h"

namespace app {

void show_results(wapi::CListView& list, const std::vector<search::RDisplayRow>& rows) {
    list.set_redraw(false);
    list.delete_all();
    for (const search::RDisplayRow& row : rows) {
        list.insert_item(row.text.c_str(), static_cast<LPARAM>(row.row_id));
    }
    list.set_redraw(true);
    list.select_item(0);
}

} // namespace app
