#pragma once
#include "feed/monitor.h"

namespace app {

// Once per answer to a poll, on the feed thread, after the feed (if any) has been taken. Does
// nothing in the program; alone in its source file, so that a test build can link a definition
// of its own in its place and see when each answer has been dealt with.
void poll_answered(const feed::RFeedCheck& check);

} // namespace app
