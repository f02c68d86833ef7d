#pragma once
#include <windows.h>

#include "kernel/owner.h"

namespace kernel {

// RAII owners of the Win32 synchronisation objects the program's threads share.

class CCriticalSection {
public:
    CCriticalSection() { InitializeCriticalSection(&section_); }
    ~CCriticalSection() { DeleteCriticalSection(&section_); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void enter() { EnterCriticalSection(&section_); }
    void leave() { LeaveCriticalSection(&section_); }

private:
    friend class CCondition;
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

// A condition to wait on while holding a critical section (which the wait releases).
class CCondition {
public:
    CCondition() { InitializeConditionVariable(&condition_); }
    CCondition(const CCondition&) = delete;
    CCondition& operator=(const CCondition&) = delete;

    // The caller holds section; it is released while waiting and held again on return.
    void wait(CCriticalSection& section) {
        SleepConditionVariableCS(&condition_, &section.section_, INFINITE);
    }
    // The same for at most ms; false when the time ran out (a wake-up may still come early).
    bool wait_for(CCriticalSection& section, DWORD ms) {
        return SleepConditionVariableCS(&condition_, &section.section_, ms) != FALSE;
    }
    void notify_all() { WakeAllConditionVariable(&condition_); }

private:
    CONDITION_VARIABLE condition_;
};

class CManualEvent {
public:
    CManualEvent() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    CManualEvent(const CManualEvent&) = delete;
    CManualEvent& operator=(const CManualEvent&) = delete;

    // False when the system had no event to give: waiting on it would return at once, forever.
    bool is_valid() const { return handle_.is_valid(); }
    void set() { SetEvent(handle_.get()); }
    void reset() { ResetEvent(handle_.get()); }
    // False when the wait failed (no event) or, with a time limit, when the time ran out.
    bool wait(DWORD ms = INFINITE) {
        return is_valid() && WaitForSingleObject(handle_.get(), ms) == WAIT_OBJECT_0;
    }

private:
    CHandle handle_;
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
        DWORD id = 0;
        handle_.reset(CreateThread(nullptr, 0, routine, argument, 0, &id));
        id_ = handle_.is_valid() ? id : 0;
        return handle_.is_valid();
    }
    bool running() const { return handle_.is_valid(); }
    bool is_current() const { return id_ != 0 && id_ == GetCurrentThreadId(); }
    // Waits for the thread to end. A thread cannot wait for itself: from the thread itself this
    // returns false at once and keeps the handle, so another thread can still join it later.
    bool join() {
        if (!handle_.is_valid()) {
            return true;
        }
        if (is_current()) {
            return false;
        }
        WaitForSingleObject(handle_.get(), INFINITE);
        handle_.reset();
        id_ = 0;
        return true;
    }
    // Waits at most ms for the thread to end; false when it still runs.
    bool join_for(DWORD ms) {
        if (handle_.is_valid() && !is_current() && WaitForSingleObject(handle_.get(), ms) != WAIT_OBJECT_0) {
            return false;
        }
        return join();
    }
    // Lets the thread run on unwaited for, to end with the process: whatever it uses must be its own.
    void detach() {
        handle_.reset();
        id_ = 0;
    }

private:
    CHandle handle_;
    DWORD id_ = 0;
};

} // namespace kernel
