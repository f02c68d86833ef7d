#pragma once
#include <atomic>
#include <list>
#include <memory>
#include <string>

#include <boost/thread/thread.hpp>

#include "nexum/download.h"
#include "kernel/sync.h"
#include "nexum/proxy.h"
#include "nexum/sync_queue.h"
#include "nexum/task.h"

namespace nexum {

// Runs network work away from the caller: tasks go into a queue that a task thread works
// through, each download gets a thread of its own, and everything that happens reaches the
// one receiver as a notification on the notification thread.
class CNexum {
public:
    CNexum();
    ~CNexum();
    CNexum(const CNexum&) = delete;
    CNexum& operator=(const CNexum&) = delete;

    // Returns only once no call into the receiver it replaces is still running (unless called
    // from that very call), so the old receiver may be destroyed as soon as this returns.
    void set_notifications(INotifications* receiver);
    INotifications* notifications();

    // Restarts the engine: threads running, a connect queued. Refused from inside the receiver.
    bool start();
    // Returns promptly whatever the servers do: running transfers are woken and aborted at once, a
    // proxy search under way within a tenth of a second.
    // From inside the receiver it stops everything but cannot wait for its own thread, which
    // ends as soon as the receiver returns.
    void stop();

    // The longest one transfer may take; applies to transfers started afterwards.
    void set_transfer_limit(long ms) { transfer_limit_ms_ = ms; }
    // Sent with every download started afterwards; none while empty.
    void set_user_agent(const std::string& text);

    void connect();
    void disconnect();
    void get_memory_file(const string::weak_string<char>& url);
    // The same with the request's own headers.
    void get_memory_file(const CTaskGetMemoryFile& task);

private:
    static DWORD WINAPI task_thread_proc(void* engine);
    static DWORD WINAPI notification_thread_proc(void* engine);
    void run_tasks();
    void run_notifications();
    void handle_task(ITask* task);
    // Both take what they are given: it is deleted when the queue refuses it or fails to take it.
    void post(std::unique_ptr<INotification> notification);
    void post_task(std::unique_ptr<ITask> task);
    void start_download(const CTaskGetMemoryFile& task);
    void run_download(const std::shared_ptr<CTaskGetMemoryFile>& task);
    void download(const CTaskGetMemoryFile& task);
    void reap_download(boost::thread::id id);
    void join_downloads();

    CSyncQueue<ITask*> tasks_;
    CSyncQueue<INotification*> notes_;
    INotifications* receiver_ = nullptr; // not owned
    kernel::CCriticalSection lock_;
    // True while the notification thread is inside the receiver; guarded by lock_.
    bool in_receiver_ = false;
    kernel::CCondition receiver_left_;
    std::atomic<long> transfer_limit_ms_{TRANSFER_LIMIT_MS};
    kernel::CCriticalSection user_agent_lock_;
    std::string user_agent_; // guarded by user_agent_lock_
    // The proxy of Internet Options, found on the download threads and kept for a while.
    CProxyFinder proxies_;
    // Touched only by the task thread: each finished download asks it to join and free its
    // thread, so threads and handles do not pile up over a long run.
    std::list<std::unique_ptr<boost::thread>> downloads_;
    kernel::CThreadHandle task_thread_;
    std::atomic<bool> task_run_{true};
    kernel::CThreadHandle notification_thread_;
    std::atomic<bool> notification_run_{true};
    // Stopped by stop: running transfers end at once.
    CTransferStop transfers_;
    RConnection connection_;
};

} // namespace nexum
