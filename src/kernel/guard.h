#pragma once
#include <utility>

namespace kernel {

// Runs f and swallows whatever it throws, returning fallback instead. An exception that
// unwinds into a Win32 callback (a window procedure, a libcurl callback) or out of a thread's
// entry ends the process, leaving a dead tray icon behind; at these boundaries the one message,
// notification or block at hand is dropped instead (a std::bad_alloc, say).
template <class F, class R> R guarded(F&& f, R fallback) noexcept {
    try {
        return std::forward<F>(f)();
    } catch (...) {
        return fallback;
    }
}

// The same for work that returns nothing; false when it threw.
template <class F> bool guarded(F&& f) noexcept {
    try {
        std::forward<F>(f)();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace kernel
