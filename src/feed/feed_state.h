#pragma once
#include <string>

#include <windows.h>

namespace feed {

// What one poll of the feed came to.
struct RFeedCheck {
    enum Outcome {
        FEED,          // a 200 body that parsed as a feed
        UNCHANGED,     // 304: the feed is as it was
        NO_CONNECTION, // no HTTP answer: refused, DNS, time-out, TLS, proxy, a broken connection
        HTTP_ERROR,    // a status of 400 or more
        NOT_A_FEED,    // a body that is no feed: another page, too big, badly compressed, empty
    };
    Outcome outcome = FEED;
    long http_status = 0; // the answer's status, 0 when none came
    std::wstring detail;  // for a tooltip: libcurl's error text, the status line, ...
};

// What the window and the tray say of the feed: a line for the status bar, the details for its
// tooltip, and the tray tip's shorter form.
struct RFeedState {
    std::wstring line;
    std::wstring details;
    std::wstring tip;
};

// "17:30", or "17:30:05" with seconds.
std::wstring clock_time(const SYSTEMTIME& at, bool seconds = false);

// Until the first answer has come.
RFeedState waiting_state();
// After the check that ended at local time at.
RFeedState feed_state(const RFeedCheck& check, const SYSTEMTIME& at);

} // namespace feed
