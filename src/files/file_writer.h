#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "kernel/sync.h"

namespace files {

// How a CFileWriter paces its writes.
struct RWritePace {
    std::uint32_t min_interval_ms = 1000; // from one write to the next
    std::uint32_t first_retry_ms = 1000;  // after a failed write; doubled after each failure
    std::uint32_t max_retry_ms = 60000;
};

// Puts bytes in the file at path; true when they are there.
using WriteBytes = std::function<bool(const std::wstring& path, const std::string& bytes)>;

// Keeps one file up to date on a thread of its own, so that a slow or network disk never holds
// up the caller: each content handed over replaces the one not yet written; writes come at most
// once per interval; a failed write stays pending and is tried again after growing waits, and at
// the end. Asleep while nothing is pending. Its calls are for one thread (the GUI thread).
class CFileWriter {
public:
    // notify: called on the writer's thread after every attempt, with its lock held: it may post
    // a message, never wait. write: write_file_atomically unless given.
    CFileWriter(std::wstring path, std::function<void()> notify, RWritePace pace = RWritePace(),
                WriteBytes write = nullptr);
    // finish(2000).
    ~CFileWriter();
    CFileWriter(const CFileWriter&) = delete;
    CFileWriter& operator=(const CFileWriter&) = delete;

    void write(std::string bytes);
    // Writes what is pending now, whatever the pace says, and waits at most wait_ms for the
    // attempt. True when nothing is pending afterwards.
    bool flush(std::uint32_t wait_ms);
    // At the end: one last attempt at what is pending, waited for at most wait_ms; a write that
    // takes longer is left to finish, or not, with the process. Nothing is written afterwards.
    void finish(std::uint32_t wait_ms);

    // The last attempt failed, and what it tried to write is still pending.
    bool failing() const;
    bool pending() const;
    // Attempts so far, failed or not.
    std::uint64_t attempts() const;

    struct RShared;

private:
    std::shared_ptr<RShared> shared_; // also held by the thread, which may outlive this object
    kernel::CThreadHandle thread_;
};

} // namespace files
