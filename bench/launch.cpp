// The cost at start: the time from CreateProcess to the program's first idle (WaitForInputIdle: its
// window made and everything queued at start handled), median and extremes of a number of launches,
// in light and in dark (the user's AppsUseLightTheme, put back afterwards). Each copy is ended by its
// menu's "Zakończ" before the next starts.
//
//   bench_launch.exe [launches] [program.exe]      (default 15, pelikant_e2e.exe beside this one)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include "../tests/started_process.h"
#include "resources/resource.h"

namespace {

const wchar_t PERSONALIZE[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

void set_light(DWORD light) {
    RegSetKeyValueW(HKEY_CURRENT_USER, PERSONALIZE, L"AppsUseLightTheme", REG_DWORD, &light, sizeof(light));
}

// Milliseconds to the first idle of one launch; -1 when it failed.
double launch(const std::string& exe) {
    const auto start = std::chrono::steady_clock::now();
    CProcess process(exe);
    if (!process.started() || WaitForInputIdle(process.process(), 30000) != 0) {
        return -1;
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    PostMessageW(process.main_window(10000), WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    process.wait(10000);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const std::string exe = argc > 2 ? argv[2] : beside_test("pelikant_e2e.exe");
    DWORD light = 1;
    DWORD bytes = sizeof(light);
    const bool had = RegGetValueW(HKEY_CURRENT_USER, PERSONALIZE, L"AppsUseLightTheme", RRF_RT_REG_DWORD,
                                  nullptr, &light, &bytes) == ERROR_SUCCESS;
    std::printf("milliseconds from CreateProcess to the first idle, %d launches each\n\n", count);
    std::printf("%-6s %8s %8s %8s %6s\n", "mode", "median", "fastest", "slowest", "runs");
    // Taken in turns, so that a slower moment of the machine does not fall on one mode alone.
    std::vector<double> all[2];
    for (int round = 0; round < count; ++round) {
        for (int dark = 0; dark < 2; ++dark) {
            set_light(dark ? 0 : 1);
            const double ms = launch(exe);
            if (ms >= 0) {
                all[dark].push_back(ms);
            }
        }
    }
    for (int dark = 0; dark < 2; ++dark) {
        std::vector<double>& t = all[dark];
        std::sort(t.begin(), t.end());
        if (t.empty()) {
            std::printf("%-6s no launch reached its first idle\n", dark ? "dark" : "light");
            continue;
        }
        std::printf("%-6s %8.1f %8.1f %8.1f %6zu\n", dark ? "dark" : "light", t[t.size() / 2], t.front(),
                    t.back(), t.size());
    }
    if (had) {
        set_light(light);
    } else {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, PERSONALIZE, L"AppsUseLightTheme");
    }
    return 0;
}
