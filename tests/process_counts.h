// Thread and handle counts of the test process, to show that repeated work leaves nothing
// behind.
#pragma once
#include <cstdint>

#include <windows.h>
// after windows.h, which it needs
#include <tlhelp32.h>

// Threads of the process pid, this one by default.
inline int thread_count(DWORD pid = GetCurrentProcessId()) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == pid) {
            ++count;
        }
    }
    CloseHandle(snapshot);
    return count;
}

// Wine answers GetProcessHandleCount with 0, so where it does, count the handle values that
// are valid; handles are small multiples of four there.
inline DWORD handle_count() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) {
        return count;
    }
    DWORD flags = 0;
    for (std::uintptr_t value = 4; value < 0x40000; value += 4) {
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
        }
    }
    return count;
}

// Waits (up to 5 s) for threads and handles to come back to at most the given counts plus
// slack: the last worker may still be ending, and the runtime may open a handle or two lazily.
// A thread or handle kept per repetition would show far more than the slack.
inline bool counts_settle(int threads, DWORD handles, int slack, int* threads_after, DWORD* handles_after) {
    for (int tries = 0; tries < 50; ++tries) {
        *threads_after = thread_count();
        *handles_after = handle_count();
        if (*threads_after <= threads + slack && *handles_after <= handles + static_cast<DWORD>(slack)) {
            return true;
        }
        Sleep(100);
    }
    return false;
}
