#include "files/file_writer.h"

#include <algorithm>
#include <utility>

#include "files/small_file.h"

namespace files {

struct CFileWriter::RShared {
    RShared(std::wstring path_, std::function<void()> notify_, RWritePace pace_, WriteBytes write_)
        : path(std::move(path_)), notify(std::move(notify_)), pace(pace_), write(std::move(write_)) {}

    const std::wstring path;
    kernel::CCriticalSection lock;
    kernel::CCondition changed; // something to write, a flush, the end
    kernel::CCondition attempted;
    // Guarded by lock.
    std::function<void()> notify;
    const RWritePace pace;
    const WriteBytes write;
    std::string bytes;
    bool pending = false;
    std::uint64_t version = 0; // of bytes: one written while newer came stays pending
    bool urgent = false;       // write now, whatever the pace
    bool ending = false;
    bool failing = false;
    std::uint64_t attempts = 0;
    std::uint32_t retry_ms = 0; // the wait after the last failure, 0 after a success

    // Writes once, the lock held on entry and on return. Answers how long to wait before the next.
    std::uint32_t attempt() {
        const std::string taken = bytes;
        const std::uint64_t taken_version = version;
        lock.leave();
        const bool written = write(path, taken);
        lock.enter();
        ++attempts;
        if (written) {
            pending = pending && version != taken_version;
            failing = false;
            retry_ms = 0;
        } else {
            failing = true;
            retry_ms = retry_ms == 0 ? pace.first_retry_ms : std::min(retry_ms * 2, pace.max_retry_ms);
        }
        attempted.notify_all();
        if (notify) {
            notify();
        }
        return written ? pace.min_interval_ms : retry_ms;
    }

    void run() {
        kernel::CLock guard(lock);
        for (;;) {
            while (!pending && !ending) {
                changed.wait(lock);
            }
            if (!pending) {
                return;
            }
            urgent = false;
            const std::uint32_t wait_ms = attempt();
            if (ending) {
                return; // the one attempt the end allows
            }
            // Asleep until the pace allows the next write, unless told to hurry.
            const DWORD until = GetTickCount() + wait_ms;
            while (!urgent && !ending) {
                const DWORD left = until - GetTickCount();
                if (static_cast<std::int32_t>(left) <= 0) {
                    break;
                }
                changed.wait_for(lock, left);
            }
        }
    }
};

namespace {

DWORD WINAPI writer_thread(void* argument) {
    const std::unique_ptr<std::shared_ptr<CFileWriter::RShared>> shared(
        static_cast<std::shared_ptr<CFileWriter::RShared>*>(argument));
    (*shared)->run();
    return 0;
}

} // namespace

CFileWriter::CFileWriter(std::wstring path, std::function<void()> notify, RWritePace pace, WriteBytes write)
    : shared_(std::make_shared<RShared>(
          std::move(path), std::move(notify), pace,
          write ? std::move(write) : WriteBytes([](const std::wstring& to, const std::string& bytes) {
              return write_file_atomically(to, bytes);
          }))) {
    auto* handed = new std::shared_ptr<RShared>(shared_);
    if (!thread_.start(&writer_thread, handed)) {
        delete handed; // write() then writes on the caller's thread
    }
}

CFileWriter::~CFileWriter() {
    finish(2000);
}

void CFileWriter::write(std::string bytes) {
    kernel::CLock guard(shared_->lock);
    if (shared_->ending) {
        return;
    }
    shared_->bytes = std::move(bytes);
    shared_->pending = true;
    ++shared_->version;
    if (!thread_.running()) {
        shared_->attempt();
        return;
    }
    shared_->changed.notify_all();
}

bool CFileWriter::flush(std::uint32_t wait_ms) {
    kernel::CLock guard(shared_->lock);
    if (!shared_->pending || !thread_.running()) {
        return !shared_->pending;
    }
    const std::uint64_t before = shared_->attempts;
    shared_->urgent = true;
    shared_->changed.notify_all();
    const DWORD until = GetTickCount() + wait_ms;
    while (shared_->pending && shared_->attempts == before) {
        const DWORD left = until - GetTickCount();
        if (static_cast<std::int32_t>(left) <= 0) {
            break;
        }
        shared_->attempted.wait_for(shared_->lock, left);
    }
    return !shared_->pending;
}

void CFileWriter::finish(std::uint32_t wait_ms) {
    {
        kernel::CLock guard(shared_->lock);
        if (shared_->ending) {
            return;
        }
        shared_->ending = true;
        shared_->notify = nullptr; // whoever it told may be gone by the time the last attempt ends
        if (!thread_.running() && shared_->pending) {
            shared_->attempt();
        }
        shared_->changed.notify_all();
    }
    if (!thread_.join_for(wait_ms)) {
        thread_.detach(); // it holds its own share of what it uses
    }
}

bool CFileWriter::failing() const {
    kernel::CLock guard(shared_->lock);
    return shared_->failing;
}

bool CFileWriter::pending() const {
    kernel::CLock guard(shared_->lock);
    return shared_->pending;
}

std::uint64_t CFileWriter::attempts() const {
    kernel::CLock guard(shared_->lock);
    return shared_->attempts;
}

} // namespace files
