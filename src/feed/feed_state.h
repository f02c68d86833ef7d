#pragma once
#include <string>

#include <windows.h>

#include "feed/monitor.h"

namespace feed {

// What the window and the tray say of the feed: a line for the status bar, the details for its
// tooltip, and the tray tip's shorter form.
struct RFeedState {
    std::wstring line;
    std::wstring details;
    std::wstring tip;
};

// Until the first answer has come.
RFeedState waiting_state();
// After the check that ended at local time at.
RFeedState feed_state(const RFeedCheck& check, const SYSTEMTIME& at);

} // namespace feed
