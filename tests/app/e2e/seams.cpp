// Linked into the end-to-end build of the program in place of the real tray and browser calls:
// each tray record and each opened address is also written, one line each, to the file that
// PELIKANT_E2E_LOG names, for the test to read. The tray records still reach the shell.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <windows.h>

#include "app/tray.h"
#include "kernel/sync.h"
#include "pelikant/shell.h"

namespace {

kernel::CCriticalSection log_lock;

void log_line(const std::string& line) {
    const char* path = std::getenv("PELIKANT_E2E_LOG");
    if (path == nullptr) {
        return;
    }
    kernel::CLock guard(log_lock);
    if (FILE* file = std::fopen(path, "ab")) {
        std::fputs((line + "\n").c_str(), file);
        std::fclose(file);
    }
}

// Icons loaded with LoadIconA are shared: the same resource gives the same handle.
std::string icon_name(HICON icon) {
    for (int id : {5000, 5001}) {
        if (icon == LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id))) {
            return std::to_string(id);
        }
    }
    return icon == nullptr ? "none" : "other";
}

} // namespace

namespace app {

BOOL WINAPI tray_notify(DWORD message, PNOTIFYICONDATAA data) {
    std::string line = "tray " + std::to_string(message);
    if (data != nullptr) {
        line += " icon=" + ((data->uFlags & NIF_ICON) != 0 ? icon_name(data->hIcon) : std::string("none"));
        if ((data->uFlags & NIF_INFO) != 0) {
            line += std::string(" balloon=") + data->szInfoTitle + "|" + data->szInfo;
        }
    }
    log_line(line);
    return Shell_NotifyIconA(message, data);
}

} // namespace app

namespace pelikant {

void shell_open(const char* url) {
    log_line(std::string("open ") + (url != nullptr ? url : ""));
}

} // namespace pelikant
