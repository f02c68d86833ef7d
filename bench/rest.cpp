// Wake-ups at rest: the program hidden in the tray, against a bare window with the same controls.
// The context switches of all threads of each process are counted over a while: under Wine a
// process's threads are Linux threads, whose switches /proc counts, and every switch is a wake-up.
// The program is measured started in the tray (/tray, as at log-in) and shown, then hidden by its
// close box; the bare window (this program again) never shown, with the focus in its box and with
// none.
//
//   bench_rest.exe [seconds] [program.exe]      (default 120 s, pelikant_e2e.exe beside this one)
//
// Run it with the end-to-end site on its port (see README.md), so that the program's polls work.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include "../tests/process_figures.h"
#include "../tests/started_process.h"
#include "resources/resource.h"

namespace {

// Context switches, voluntary and not, of every thread of the process in dir.
long long switches(const std::string& dir) {
    long long total = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\task\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return -1;
    }
    do {
        if (found.cFileName[0] == '.') {
            continue;
        }
        if (FILE* file = std::fopen((dir + "\\task\\" + found.cFileName + "\\status").c_str(), "rb")) {
            char line[256];
            while (std::fgets(line, sizeof(line), file) != nullptr) {
                long long value = 0;
                if (std::sscanf(line, "voluntary_ctxt_switches: %lld", &value) == 1 ||
                    std::sscanf(line, "nonvoluntary_ctxt_switches: %lld", &value) == 1) {
                    total += value;
                }
            }
            std::fclose(file);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return total;
}

// The bare window: a top-level window with the program's controls, never shown, the focus in its
// box or nowhere; its loop runs until it is ended.
int bare_window(bool focus) {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&init);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = L"BareRest";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"bare", WS_CAPTION | WS_SYSMENU, 40, 40, 615, 370,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    const DWORD child = WS_CHILD | WS_VISIBLE | WS_BORDER;
    CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", child | LVS_REPORT, 0, 0, 600, 110, window, nullptr,
                    wc.hInstance, nullptr);
    HWND box = CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, L"", child | ES_AUTOHSCROLL, 0, 130, 600, 24,
                               window, nullptr, wc.hInstance, nullptr);
    CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", child | LVS_REPORT, 0, 155, 600, 150, window,
                    nullptr, wc.hInstance, nullptr);
    CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window, nullptr,
                    wc.hInstance, nullptr);
    if (focus) {
        SetFocus(box);
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

// Switches per second of a process started from exe with arguments, over seconds once it rests. The
// program's window is found, shown ones hidden by the close box, and the program ended by its menu.
double measure(const std::string& exe, const std::string& arguments, const std::string& tag, bool program,
               int seconds) {
    CProcess process(exe, arguments + " " + tag);
    if (!process.started()) {
        return -1;
    }
    HWND window = nullptr;
    for (int tries = 0; tries < 400 && window == nullptr; ++tries) {
        window = program ? process.main_window(50) : FindWindowW(L"BareRest", nullptr);
        Sleep(50);
    }
    const std::string dir = linux_proc_dir(tag.c_str());
    if (window == nullptr || dir.empty()) {
        return -1;
    }
    Sleep(3000); // the program's first feed shown
    if (IsWindowVisible(window)) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    Sleep(2000);
    const long long before = switches(dir);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    const long long after = switches(dir);
    if (program) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
        process.wait(5000);
    }
    return before < 0 || after < 0 ? -1 : static_cast<double>(after - before) / seconds;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--bare") {
        return bare_window(std::string(argv[2]) == "focus");
    }
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 120;
    const std::string program = argc > 2 ? argv[2] : beside_test("pelikant_e2e.exe");
    const std::string self = beside_test("bench_rest.exe");
    const std::string tag = "rest-" + std::to_string(GetCurrentProcessId());
    std::printf("context switches per second over %d s, hidden (all threads of the process)\n\n", seconds);
    const struct {
        const char* name;
        std::string exe;
        std::string arguments;
        bool program;
    } runs[] = {
        {"bare window, focus in its box", self, "--bare focus", false},
        {"bare window, no focus", self, "--bare none", false},
        {"the program started in the tray", program, "/tray", true},
        {"the program shown, then hidden", program, "", true},
    };
    for (const auto& run : runs) {
        const double rate =
            measure(run.exe, run.arguments, tag + "-" + std::to_string(&run - runs), run.program, seconds);
        std::printf("%-36s %8.2f\n", run.name, rate);
        std::fflush(stdout);
    }
    return 0;
}
