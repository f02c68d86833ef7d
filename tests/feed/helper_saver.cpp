// Saves what was seen in a loop, as fast as it can, until it is killed: every count of each state,
// and its pause, is the state's number, so that the test that kills it can tell a whole state.
//   saver.exe <folder> <first number>
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "feed/seen_file.h"
#include "files/small_file.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 3) {
        return 2;
    }
    const std::string site = "http://127.0.0.1:8765";
    for (std::int32_t number = _wtoi(arguments[2]);; ++number) {
        std::vector<feed::CSeenTopics::RTopic> topics;
        for (std::int32_t id = 1; id <= 2000; ++id) {
            topics.push_back({id, number, number});
        }
        feed::CSeenTopics state;
        state.restore(topics, true, 2000, false, number);
        files::write_file_atomically(std::wstring(arguments[1]) + L"\\" + feed::seen_file_name(site),
                                     feed::seen_text(state, site));
    }
}
