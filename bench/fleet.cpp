// A fleet of copies of the program polling one site through a 10-minute outage, with the
// program's own schedule (CPollSchedule: the 60-second timer, ticks skipped inside a wait):
// requests per minute around the outage and after it, the polls of every tick for comparison,
// and the program's schedule with and without its jitter.
//
// Each copy has its own timer phase (the moment it was started within a minute). During the
// outage every connection is refused at once; afterwards every answer is a feed.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "feed/poll_schedule.h"

using namespace feed;

namespace {

const int COPIES = 10000;
const std::int64_t MINUTE_MS = 60000;
const std::int64_t OUTAGE_START_MS = 20 * MINUTE_MS;
const std::int64_t OUTAGE_MS = 10 * MINUTE_MS;
const std::int64_t END_MS = 60 * MINUTE_MS;
// A refused connection is answered at once.
const std::int64_t REFUSED_AFTER_MS = 5;

enum Mode { EVERY_TICK, NO_JITTER_SCHEDULE, JITTER_SCHEDULE };

struct RRun {
    std::vector<int> per_minute = std::vector<int>(static_cast<size_t>(END_MS / MINUTE_MS) + 1, 0);
    std::vector<int> per_second = std::vector<int>(static_cast<size_t>(END_MS / 1000) + 1, 0);
    // When the last copy had its first feed after the outage.
    std::int64_t last_back_ms = 0;
};

bool site_down(std::int64_t at) {
    return at >= OUTAGE_START_MS && at < OUTAGE_START_MS + OUTAGE_MS;
}

RRun simulate(Mode mode) {
    RRun run;
    std::mt19937 phases(1);
    std::uniform_int_distribution<std::int64_t> phase(0, MINUTE_MS - 1);
    for (int copy = 0; copy < COPIES; ++copy) {
        std::mt19937 random(static_cast<unsigned>(copy) + 1000);
        CPollSchedule schedule;
        bool back = false;
        for (std::int64_t tick = phase(phases); tick <= END_MS; tick += MINUTE_MS) {
            if (mode != EVERY_TICK && !schedule.is_due(tick)) {
                continue;
            }
            ++run.per_minute[static_cast<size_t>(tick / MINUTE_MS)];
            ++run.per_second[static_cast<size_t>(tick / 1000)];
            const bool failed = site_down(tick);
            if (!back && tick >= OUTAGE_START_MS + OUTAGE_MS) {
                back = true;
                run.last_back_ms = std::max(run.last_back_ms, tick);
            }
            const std::uint32_t draw =
                mode == JITTER_SCHEDULE ? static_cast<std::uint32_t>(random()) : NO_JITTER;
            schedule.answered(failed, -1, draw, tick + (failed ? REFUSED_AFTER_MS : 20));
        }
    }
    return run;
}

int busiest_second(const RRun& run, std::int64_t from_ms, std::int64_t to_ms) {
    int most = 0;
    for (std::int64_t s = from_ms / 1000; s < to_ms / 1000; ++s) {
        most = std::max(most, run.per_second[static_cast<size_t>(s)]);
    }
    return most;
}

} // namespace

int main() {
    const RRun every = simulate(EVERY_TICK);
    const RRun plain = simulate(NO_JITTER_SCHEDULE);
    const RRun jitter = simulate(JITTER_SCHEDULE);
    std::printf("%d copies, outage from minute %lld to %lld (connections refused), polls every 60 s\n\n",
                COPIES, static_cast<long long>(OUTAGE_START_MS / MINUTE_MS),
                static_cast<long long>((OUTAGE_START_MS + OUTAGE_MS) / MINUTE_MS));
    std::printf("requests per minute\n");
    std::printf("%-28s %12s %14s %14s\n", "minute", "every tick", "no jitter", "with jitter");
    const std::int64_t back = (OUTAGE_START_MS + OUTAGE_MS) / MINUTE_MS;
    for (std::int64_t m = OUTAGE_START_MS / MINUTE_MS - 1; m <= back + 12; ++m) {
        char label[64];
        if (m < OUTAGE_START_MS / MINUTE_MS) {
            std::snprintf(label, sizeof(label), "%lld (before the outage)", static_cast<long long>(m));
        } else if (m < back) {
            std::snprintf(label, sizeof(label), "%lld (site down)", static_cast<long long>(m));
        } else {
            std::snprintf(label, sizeof(label), "%lld (back +%lld)", static_cast<long long>(m),
                          static_cast<long long>(m - back));
        }
        const size_t i = static_cast<size_t>(m);
        std::printf("%-28s %12d %14d %14d\n", label, every.per_minute[i], plain.per_minute[i],
                    jitter.per_minute[i]);
    }
    auto sum = [](const RRun& run, std::int64_t from, std::int64_t to) {
        int total = 0;
        for (std::int64_t m = from; m < to; ++m) {
            total += run.per_minute[static_cast<size_t>(m)];
        }
        return total;
    };
    const std::int64_t down = OUTAGE_START_MS / MINUTE_MS;
    std::printf("\n%-28s %12d %14d %14d\n", "requests while down", sum(every, down, back),
                sum(plain, down, back), sum(jitter, down, back));
    std::printf("%-28s %12d %14d %14d\n", "first 5 minutes back", sum(every, back, back + 5),
                sum(plain, back, back + 5), sum(jitter, back, back + 5));
    std::printf("%-28s %12d %14d %14d\n", "busiest minute back",
                *std::max_element(every.per_minute.begin() + back, every.per_minute.begin() + back + 20),
                *std::max_element(plain.per_minute.begin() + back, plain.per_minute.begin() + back + 20),
                *std::max_element(jitter.per_minute.begin() + back, jitter.per_minute.begin() + back + 20));
    const std::int64_t from = OUTAGE_START_MS + OUTAGE_MS;
    std::printf("%-28s %12d %14d %14d\n", "busiest second back",
                busiest_second(every, from, from + 20 * MINUTE_MS),
                busiest_second(plain, from, from + 20 * MINUTE_MS),
                busiest_second(jitter, from, from + 20 * MINUTE_MS));
    auto seconds_back = [&](const RRun& run) {
        return static_cast<long long>((run.last_back_ms - from) / 1000);
    };
    std::printf("%-28s %12lld %14lld %14lld\n", "last copy back after (s)", seconds_back(every),
                seconds_back(plain), seconds_back(jitter));
    return 0;
}
