#include "feed/poll_schedule.h"

#include <algorithm>

namespace feed {

namespace {

const int STEPS = static_cast<int>(sizeof(BACKOFF_STEPS_MS) / sizeof(BACKOFF_STEPS_MS[0]));

} // namespace

std::int64_t backoff_ms(int failures, std::int64_t retry_after_s, std::uint32_t random) {
    if (failures <= 0) {
        return 0;
    }
    const std::int64_t step = BACKOFF_STEPS_MS[std::min(failures, STEPS) - 1];
    // random spread over [-2^32, 2^32) stands for -1 to +1 of the jitter's reach.
    const std::int64_t offset = 2 * static_cast<std::int64_t>(random) - (std::int64_t(1) << 32);
    const std::int64_t reach = step * JITTER_PERCENT / 100;
    const std::int64_t wait = step + reach * offset / (std::int64_t(1) << 32);
    if (retry_after_s < 0) {
        return wait;
    }
    const std::int64_t asked =
        retry_after_s < MAX_RETRY_AFTER_MS / 1000 ? retry_after_s * 1000 : MAX_RETRY_AFTER_MS;
    return std::max(wait, asked);
}

void CPollSchedule::answered(bool failed, std::int64_t retry_after_s, std::uint32_t random,
                             std::int64_t now_ms) {
    failures_ = failed ? std::min(failures_ + 1, STEPS) : 0;
    due_ms_ = now_ms + backoff_ms(failures_, retry_after_s, random) * percent_ / 100;
}

} // namespace feed
