// Saves what was seen in a loop, as fast as it can, until it is killed: each state whole and
// different from the one before (every count and the pause are the state's number), so that the
// test that kills it can tell the old state, the new one, and anything else.
//   saver.exe <folder> <first number>
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "feed/seen.h"
#include "feed/seen_file.h"
#include "files/small_file.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 3) {
        return 2;
    }
    const std::string site = "http://127.0.0.1:8765";
    const std::wstring path = std::wstring(arguments[1]) + L"\\" + feed::seen_file_name(site);
    for (std::int32_t number = _wtoi(arguments[2]);; ++number) {
        std::vector<feed::CSeenTopics::RTopic> topics;
        for (std::int32_t id = 1; id <= 2000; ++id) {
            topics.push_back({id, number, number});
        }
        feed::CSeenTopics state;
        state.restore(topics, true, 2000, false, number);
        files::write_file_atomically(path, feed::seen_text(state, site));
    }
}
