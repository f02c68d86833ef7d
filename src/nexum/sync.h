#pragma once
#include <windows.h>

namespace nexum {

// RAII owners of the Win32 synchronisation objects the engine uses.

class CCriticalSection {
public:
    CCriticalSection() { InitializeCriticalSection(&section_); }
    ~CCriticalSection() { DeleteCriticalSection(&section_); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void enter() { EnterCriticalSection(&section_); }
    void leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class CLock {
public:
    explicit CLock(CCriticalSection& section) : section_(section) { section_.enter(); }
    ~CLock() { section_.leave(); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

private:
    CCriticalSection& section_; // not owned
};

class CManualEvent {
public:
    CManualEvent() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~CManualEvent() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    CManualEvent(const CManualEvent&) = delete;
    CManualEvent& operator=(const CManualEvent&) = delete;

    void set() { SetEvent(handle_); }
    void reset() { ResetEvent(handle_); }
    void wait() { WaitForSingleObject(handle_, INFINITE); }

private:
    HANDLE handle_;
};

// A thread started with CreateThread; the handle is closed once the thread has been waited for.
class CThreadHandle {
public:
    CThreadHandle() = default;
    ~CThreadHandle() { join(); }
    CThreadHandle(const CThreadHandle&) = delete;
    CThreadHandle& operator=(const CThreadHandle&) = delete;

    bool start(LPTHREAD_START_ROUTINE routine, void* argument) {
        join();
        handle_ = CreateThread(nullptr, 0, routine, argument, 0, &id_);
        return handle_ != nullptr;
    }
    bool running() const { return handle_ != nullptr; }
    void join() {
        if (handle_ == nullptr) {
            return;
        }
        WaitForSingleObject(handle_, INFINITE);
        CloseHandle(handle_);
        handle_ = nullptr;
        id_ = 0;
    }

private:
    HANDLE handle_ = nullptr;
    DWORD id_ = 0;
};

} // namespace nexum
