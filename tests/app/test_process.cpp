// The program as a process: single instance, clean exit, restart.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

namespace {

std::string beside_test(const char* name) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + name;
}

// Owns a started process's handles.
class CProcess {
public:
    explicit CProcess(const std::string& exe) {
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        std::string command = "\"" + exe + "\"";
        started_ = CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                                  &info_) != 0;
    }
    ~CProcess() {
        if (!started_) {
            return;
        }
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, 1);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    bool started() const { return started_; }
    // Exit code, or -1 when still running after timeout_ms.
    long wait(DWORD timeout_ms) const {
        if (WaitForSingleObject(info_.hProcess, timeout_ms) != WAIT_OBJECT_0) {
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return static_cast<long>(code);
    }
    // The process's top-level window of the program's class, once it exists.
    HWND main_window(DWORD timeout_ms) const {
        const DWORD until = GetTickCount() + timeout_ms;
        do {
            HWND found = nullptr;
            while ((found = FindWindowExA(nullptr, found, "Pelikant", nullptr)) != nullptr) {
                DWORD pid = 0;
                GetWindowThreadProcessId(found, &pid);
                if (pid == info_.dwProcessId) {
                    return found;
                }
            }
            Sleep(50);
        } while (GetTickCount() < until);
        return nullptr;
    }

private:
    PROCESS_INFORMATION info_ = {};
    bool started_ = false;
};

} // namespace

TEST(Process, SecondInstanceExitsAtOnceAndFirstKeepsRunning) {
    CProcess first(beside_test("pelikant.exe"));
    ASSERT_TRUE(first.started());
    HWND window = first.main_window(20000);
    ASSERT_NE(window, nullptr) << "the main window never appeared";

    CProcess second(beside_test("pelikant.exe"));
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.wait(10000), 0) << "the second copy must end by itself with code 0";
    EXPECT_EQ(first.wait(500), -1) << "the first copy must keep running";
    EXPECT_TRUE(IsWindow(window));

    PostMessageA(window, WM_COMMAND, MAKEWPARAM(6002, 0), 0); // "Zakończ"
    EXPECT_EQ(first.wait(15000), 0);
}

TEST(Process, ClosingEndsWithZeroAndANewStartSucceeds) {
    for (int round = 0; round < 2; ++round) {
        CProcess program(beside_test("pelikant.exe"));
        ASSERT_TRUE(program.started());
        HWND window = program.main_window(20000);
        ASSERT_NE(window, nullptr) << "round " << round;
        EXPECT_EQ(program.wait(300), -1) << "round " << round << ": ended before it was closed";
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(6002, 0), 0); // "Zakończ"
        EXPECT_EQ(program.wait(15000), 0) << "round " << round;
    }
}

TEST(Process, WindowThatCannotBeCreatedEndsWithZero) {
    CProcess program(beside_test("failing_window.exe"));
    ASSERT_TRUE(program.started());
    EXPECT_EQ(program.wait(15000), 0);
}
