// A program started by a test, beside the test's own executable; ended by force if a test
// leaves it running.
#pragma once
#include <string>

#include <windows.h>

#include "beside_test.h"

// Owns a started process's handles.
class CProcess {
public:
    explicit CProcess(const std::string& exe, const std::string& arguments = "") {
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        std::string command = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
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
    HANDLE process() const { return info_.hProcess; }
    DWORD pid() const { return info_.dwProcessId; }
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
