#pragma once
#include <vector>

#include "search/catalogue.h"
#include "wapi/controls.h"

namespace app {

// Refills list with the rows of a search, redrawing off meanwhile (every insert into a visible
// list repaints it: 789 of them take seconds), then selects and shows item 0, so that Enter opens
// what was typed.
void show_results(wapi::CListView& list, const std::vector<search::RDisplayRow>& rows);

} // namespace app
