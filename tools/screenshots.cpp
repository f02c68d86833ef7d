// Screenshots of the running program for the run command: waits for its window and for the first
// feed in the forum list, saves the window, types a search, saves it again (24-bit BMP files).
//   screenshots.exe FIRST.bmp SEARCH.bmp QUERY
#include <cstdio>
#include <string>

#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include "window_shot.h"

namespace {

// The text of a cell of another process's list view, read through that process's memory.
std::wstring remote_text(HWND list, HANDLE process, int item, int sub_item) {
    std::wstring out;
    char* buffer = static_cast<char*>(VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    if (buffer == nullptr) {
        return out;
    }
    LVITEMW lv = {};
    lv.iSubItem = sub_item;
    lv.cchTextMax = 1000;
    lv.pszText = reinterpret_cast<wchar_t*>(buffer + 1024);
    WriteProcessMemory(process, buffer, &lv, sizeof(lv), nullptr);
    const int n = static_cast<int>(SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(buffer)));
    if (n > 0) {
        out.resize(static_cast<size_t>(n));
        ReadProcessMemory(process, buffer + 1024, &out[0], n * sizeof(wchar_t), nullptr);
    }
    VirtualFreeEx(process, buffer, 0, MEM_RELEASE);
    return out;
}

int item_count(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

template <typename F> bool wait_for(F condition, DWORD ms) {
    const DWORD until = GetTickCount() + ms;
    while (!condition()) {
        if (GetTickCount() > until) {
            return false;
        }
        Sleep(100);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: screenshots.exe FIRST.bmp SEARCH.bmp QUERY\n");
        return 2;
    }
    HWND window = nullptr;
    if (!wait_for([&] { return (window = FindWindowA("Pelikant", nullptr)) != nullptr; }, 60000)) {
        std::fprintf(stderr, "screenshots: the program's window did not appear\n");
        return 1;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    // The forum list is the upper of the two lists, the search box the one edit control; the
    // window exists a moment before its controls do.
    HWND first = nullptr, second = nullptr, box = nullptr;
    wait_for(
        [&] {
            first = FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr);
            second = first != nullptr ? FindWindowExA(window, first, WC_LISTVIEWA, nullptr) : nullptr;
            box = FindWindowExA(window, nullptr, "Edit", nullptr);
            RECT a = {}, b = {};
            // Made and laid out: the two lists one above the other.
            return second != nullptr && box != nullptr && GetWindowRect(first, &a) && GetWindowRect(second, &b) &&
                   a.top != b.top;
        },
        20000);
    HWND forum = first, results = second;
    if (first != nullptr && second != nullptr) {
        RECT a, b;
        GetWindowRect(first, &a);
        GetWindowRect(second, &b);
        if (b.top < a.top) {
            forum = second;
            results = first;
        }
    }
    // A topic of a feed has its last-update time; the rows shown before the first feed have none.
    if (forum == nullptr || process == nullptr ||
        !wait_for([&] { return item_count(forum) > 0 && !remote_text(forum, process, 0, 2).empty(); }, 90000)) {
        std::fprintf(stderr, "screenshots: no feed shown yet; the window is saved as it is\n");
    }
    // As the user who looks at it would have it: in front, with the focus.
    SetForegroundWindow(window);
    Sleep(500);
    if (!save_window(window, argv[1])) {
        std::fprintf(stderr, "screenshots: could not save %s\n", argv[1]);
        return 1;
    }
    if (box != nullptr && results != nullptr) {
        const int before = item_count(results);
        const std::string query = argv[3];
        std::wstring wide(query.size(), L'\0');
        wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, query.data(), static_cast<int>(query.size()),
                                                            &wide[0], static_cast<int>(wide.size()))));
        for (wchar_t c : wide) {
            PostMessageW(box, WM_CHAR, c, 1);
        }
        wait_for([&] { return item_count(results) != before; }, 10000);
    }
    Sleep(500);
    if (!save_window(window, argv[2])) {
        std::fprintf(stderr, "screenshots: could not save %s\n", argv[2]);
        return 1;
    }
    CloseHandle(process);
    return 0;
}
