// Linked into the end-to-end build of the program in place of the real tray, browser, timer and
// screen-reader calls: each tray record (with the shell's answer to a version), each
// opened address, each name given to a control and each answer to a poll is also written, one
// line each in UTF-8, to the file that PELIKANT_E2E_LOG names, for the test to read. The tray
// records and the names still reach the system. PELIKANT_E2E_NO_BROWSER makes every address fail
// to open, as where no browser is associated; PELIKANT_E2E_TIMER_REFUSALS=N makes the system
// refuse the first N timers; while the file that PELIKANT_E2E_BUSY_FILE names exists, the system's
// notification state is the number it holds (QUNS_BUSY when it holds none), and while the one
// PELIKANT_E2E_HIGH_CONTRAST names exists, high contrast is on. What the title bar is handed is
// logged too.
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>
// after windows.h, which it needs
#include <dwmapi.h>

#include "resources/resource.h"
#include "app/answered.h"
#include "app/high_contrast.h"
#include "app/screen_reader.h"
#include "app/tray_notify.h"
#include "app/user_quiet.h"
#include "app/window_frame.h"
#include "kernel/sync.h"
#include "wapi/controls.h"
#include "app/shell.h"

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

std::string utf8(const wchar_t* text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], bytes, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

// One record, one line: line breaks as "\\n".
std::string one_line(const wchar_t* text) {
    std::string out = utf8(text);
    for (size_t at = 0; (at = out.find('\n', at)) != std::string::npos;) {
        out.replace(at, 1, "\\n");
    }
    return out;
}

// The colour pixels of an icon, to tell which resource it was loaded from: the program owns
// its icons, so handles do not compare.
std::vector<unsigned char> pixels(HICON icon) {
    std::vector<unsigned char> out;
    ICONINFO info = {};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return out;
    }
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    HDC dc = GetDC(nullptr);
    if (info.hbmColor != nullptr && GetDIBits(dc, info.hbmColor, 0, 0, nullptr, &format, DIB_RGB_COLORS)) {
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        out.resize(static_cast<size_t>(format.bmiHeader.biWidth) * std::abs(format.bmiHeader.biHeight) * 4);
        GetDIBits(dc, info.hbmColor, 0, std::abs(format.bmiHeader.biHeight), out.data(), &format,
                  DIB_RGB_COLORS);
    }
    ReleaseDC(nullptr, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return out;
}

std::string icon_name(HICON icon) {
    if (icon == nullptr) {
        return "none";
    }
    const std::vector<unsigned char> shown = pixels(icon);
    for (int id : {IDI_PELIKANT, IDI_NEW_POSTS}) {
        HICON loaded =
            static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                          GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        const bool same = !shown.empty() && pixels(loaded) == shown;
        DestroyIcon(loaded);
        if (same) {
            return std::to_string(id);
        }
    }
    return "other";
}

} // namespace

namespace app {

BOOL WINAPI tray_notify(DWORD message, PNOTIFYICONDATAW data) {
    const BOOL done = Shell_NotifyIconW(message, data);
    std::string line = "tray " + std::to_string(message);
    if (message == NIM_SETVERSION && data != nullptr) {
        line += " version=" + std::to_string(data->uVersion) + " taken=" + std::to_string(done);
    }
    if (data != nullptr) {
        line += " icon=" + ((data->uFlags & NIF_ICON) != 0 ? icon_name(data->hIcon) : std::string("none"));
        if ((data->uFlags & NIF_TIP) != 0) {
            line += " tip=" + one_line(data->szTip);
        }
        if ((data->uFlags & NIF_INFO) != 0) {
            line += " balloon=" + one_line(data->szInfoTitle) + "|" + one_line(data->szInfo);
        }
    }
    log_line(line);
    return done;
}

HRESULT name_for_screen_readers(HWND control, const wchar_t* name) {
    const HRESULT answer = wapi::set_accessible_name(control, name);
    char text[64];
    std::snprintf(text, sizeof(text), "name %llu %08lx ",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(control)),
                  static_cast<unsigned long>(answer));
    log_line(text + utf8(name));
    return answer;
}

void poll_answered(const feed::RFeedCheck& check) {
    static const char* const OUTCOMES[] = {"feed", "unchanged", "no_connection", "http_error", "not_a_feed"};
    log_line(std::string("answer ") + OUTCOMES[check.outcome] + " " + std::to_string(check.http_status));
}

bool shell_open(const char* url) {
    log_line(std::string("open ") + (url != nullptr ? url : ""));
    return std::getenv("PELIKANT_E2E_NO_BROWSER") == nullptr;
}

QUERY_USER_NOTIFICATION_STATE notification_state() {
    const char* path = std::getenv("PELIKANT_E2E_BUSY_FILE");
    int state = QUNS_ACCEPTS_NOTIFICATIONS;
    if (FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr) {
        state = std::fscanf(file, "%d", &state) == 1 ? state : QUNS_BUSY;
        std::fclose(file);
    }
    return static_cast<QUERY_USER_NOTIFICATION_STATE>(state);
}

UINT_PTR set_system_timer(HWND window, UINT_PTR id, UINT period_ms) {
    static int refusals = [] {
        const char* text = std::getenv("PELIKANT_E2E_TIMER_REFUSALS");
        return text != nullptr ? std::atoi(text) : 0;
    }();
    if (refusals > 0) {
        --refusals;
        log_line("timer refused");
        return 0;
    }
    return SetTimer(window, id, period_ms, nullptr);
}

bool high_contrast() {
    const char* on = std::getenv("PELIKANT_E2E_HIGH_CONTRAST");
    return on != nullptr && GetFileAttributesA(on) != INVALID_FILE_ATTRIBUTES;
}

HRESULT set_frame_attribute(HWND window, DWORD attribute, BOOL on) {
    log_line("frame " + std::to_string(attribute) + " " + std::to_string(on));
    return DwmSetWindowAttribute(window, attribute, &on, sizeof(on));
}

} // namespace app
