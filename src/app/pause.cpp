#include "app/pause.h"

#include <cwchar>

#include "feed/feed_state.h"

namespace app {

namespace {

const WORD MORNING_HOUR = 8;
// Until this hour a pause "do jutra" ends the same morning.
const WORD NIGHT_ENDS_HOUR = 4;

WORD days_in(WORD month, WORD year) {
    static const WORD DAYS[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : DAYS[(month + 11) % 12];
}

SYSTEMTIME next_day(SYSTEMTIME day) {
    day.wDayOfWeek = (day.wDayOfWeek + 1) % 7;
    if (++day.wDay > days_in(day.wMonth, day.wYear)) {
        day.wDay = 1;
        if (++day.wMonth > 12) {
            day.wMonth = 1;
            ++day.wYear;
        }
    }
    return day;
}

bool same_day(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}

} // namespace

SYSTEMTIME pause_end_tomorrow(const SYSTEMTIME& now) {
    SYSTEMTIME morning = now.wHour < NIGHT_ENDS_HOUR ? now : next_day(now);
    morning.wHour = MORNING_HOUR;
    morning.wMinute = morning.wSecond = morning.wMilliseconds = 0;
    return morning;
}

std::wstring pause_line(const SYSTEMTIME& until, const SYSTEMTIME& now) {
    std::wstring line = L"Powiadomienia wstrzymane do ";
    if (same_day(until, next_day(now))) {
        line += L"jutra, ";
    } else if (!same_day(until, now)) {
        wchar_t date[16];
        std::swprintf(date, 16, L"%02u.%02u, ", until.wDay, until.wMonth);
        line += date;
    }
    return line + feed::clock_time(until);
}

} // namespace app
