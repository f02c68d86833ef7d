#pragma once
#include <string>

#include <windows.h>

namespace app {

// When "do jutra" ends, in local time, for a pause chosen at local time now: 8:00 of the next day,
// or of the same day before 4:00, when the night has not ended yet for whoever is still up.
SYSTEMTIME pause_end_tomorrow(const SYSTEMTIME& now);

// "Powiadomienia wstrzymane do 18:30", "do jutra, 08:00" or "do 24.12, 08:00", for a pause until
// local time until, at local time now.
std::wstring pause_line(const SYSTEMTIME& until, const SYSTEMTIME& now);

} // namespace app
