#pragma once
#include <cstdint>

namespace feed {

// Waits after one, two, three, and four or more failed polls in a row: 2, 4, 8 and 16 minutes.
const std::int64_t BACKOFF_STEPS_MS[] = {2 * 60000, 4 * 60000, 8 * 60000, 16 * 60000};
// Each wait moves by up to this much either way, so that copies that failed together do not
// all come back in the same minute.
const int JITTER_PERCENT = 10;
// A Retry-After longer than this is taken as this.
const std::int64_t MAX_RETRY_AFTER_MS = 60 * 60000;
// A random draw that moves the wait by nothing.
const std::uint32_t NO_JITTER = 0x80000000u;
// Timer ticks come a little early or late; a wait that ends this close after a tick lets the
// tick poll, or a two-minute wait would become three.
const std::int64_t TICK_SLACK_MS = 1000;

// The wait before the next poll after `failures` failed polls in a row (none for 0). random
// moves it by -10 % (0) to +10 % (0xFFFFFFFF); a Retry-After of the last answer, in seconds (-1
// for none), makes it longer, up to an hour.
std::int64_t backoff_ms(int failures, std::int64_t retry_after_s, std::uint32_t random);

// Which ticks of the 60-second poll timer poll: every tick, except those inside a wait after
// failed polls. A failure is an answer that says the site is down or busy: no connection (and
// time-outs), a 5xx status or 429. Any other answer ends the waits.
class CPollSchedule {
public:
    // percent: how much of each wait is waited (100; less only where time is simulated).
    explicit CPollSchedule(int percent = 100) : percent_(percent) {}

    // Whether a tick at now_ms polls.
    bool is_due(std::int64_t now_ms) const { return now_ms + TICK_SLACK_MS >= due_ms_; }
    // An answer arrived at now_ms.
    void answered(bool failed, std::int64_t retry_after_s, std::uint32_t random, std::int64_t now_ms);

    int failures() const { return failures_; }
    // When the wait ends; at or before the last answer when there is none.
    std::int64_t due_ms() const { return due_ms_; }

private:
    int percent_;
    int failures_ = 0;
    std::int64_t due_ms_ = INT64_MIN / 2;
};

} // namespace feed
