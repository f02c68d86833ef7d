#include "nexum/nexum.h"

#include <boost/bind/bind.hpp>
#include <boost/thread/once.hpp>

#include "kernel/guard.h"

namespace nexum {

namespace {

// A finished download thread asks the task thread to join it.
const int TaskReapDownload = 3;

class CTaskReapDownload : public ITask {
public:
    explicit CTaskReapDownload(boost::thread::id thread) : id(thread) {}
    int type() const override { return TaskReapDownload; }
    boost::thread::id id;
};

// A notification of the download task, carrying its tag. Outcome 0 started, 1 failed, 2 finished.
std::unique_ptr<CNotificationDownload> download_note(const CTaskGetMemoryFile& task, int outcome) {
    auto note = std::make_unique<CNotificationDownload>(outcome);
    note->tag = task.tag;
    return note;
}

// libcurl's global set-up is not thread-safe; do it once, before any thread uses libcurl.
void init_curl() {
    static boost::once_flag once = BOOST_ONCE_INIT;
    boost::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

CNexum::CNexum() {
    init_curl();
}

CNexum::~CNexum() {
    stop();
    kernel::CLock guard(connection_.lock);
    connection_.handle.reset();
}

void CNexum::set_notifications(INotifications* receiver) {
    kernel::CLock guard(lock_);
    receiver_ = receiver;
    // The receiver itself may swap receivers; it cannot wait for its own call to end.
    if (notification_thread_.is_current()) {
        return;
    }
    // The wait releases lock_, so a receiver that calls back into the engine still finishes.
    while (in_receiver_) {
        receiver_left_.wait(lock_);
    }
}

INotifications* CNexum::notifications() {
    kernel::CLock guard(lock_);
    return receiver_;
}

bool CNexum::start() {
    // The receiver runs on the thread a restart would replace.
    if (notification_thread_.is_current()) {
        return false;
    }
    stop();
    if (!tasks_.is_valid() || !notes_.is_valid()) {
        return false; // the queues have no events to wait on
    }
    transfers_.reset();
    kernel::CLock guard(lock_);
    tasks_.open();
    notes_.open();
    task_run_ = true;
    if (!task_thread_.start(&CNexum::task_thread_proc, this)) {
        return false;
    }
    notification_run_ = true;
    if (!notification_thread_.start(&CNexum::notification_thread_proc, this)) {
        return false;
    }
    post_task(std::make_unique<CTaskConnect>());
    return true;
}

void CNexum::stop() {
    transfers_.stop();
    post_task(std::make_unique<CTaskDisconnect>());
    tasks_.close();
    task_run_ = false;
    task_thread_.join();
    notification_run_ = false;
    // From inside the receiver this returns at once: the thread leaves its loop when the
    // receiver returns, and a later stop (or the destructor) joins it.
    notification_thread_.join();

    kernel::CLock guard(lock_);
    ITask* task = nullptr;
    while (tasks_.try_pop(task)) {
        delete task;
    }
    // Notifications nobody will hand out any more are deleted, not leaked.
    INotification* note = nullptr;
    while (notes_.try_pop(note)) {
        delete note;
    }
}

void CNexum::connect() {
    post_task(std::make_unique<CTaskConnect>());
}
void CNexum::disconnect() {
    post_task(std::make_unique<CTaskDisconnect>());
}

void CNexum::get_memory_file(const string::weak_string<char>& url) {
    post_task(std::make_unique<CTaskGetMemoryFile>(url));
}

void CNexum::get_memory_file(const CTaskGetMemoryFile& task) {
    post_task(std::make_unique<CTaskGetMemoryFile>(task));
}

void CNexum::set_user_agent(const std::string& text) {
    kernel::CLock guard(user_agent_lock_);
    user_agent_ = text;
}

void CNexum::post_task(std::unique_ptr<ITask> task) {
    if (tasks_.push(task.get())) {
        task.release(); // the queue's now
    }
}

void CNexum::post(std::unique_ptr<INotification> notification) {
    if (notes_.push(notification.get())) {
        notification.release();
    }
}

DWORD WINAPI CNexum::task_thread_proc(void* engine) {
    kernel::guarded([engine] { static_cast<CNexum*>(engine)->run_tasks(); });
    return 0;
}

DWORD WINAPI CNexum::notification_thread_proc(void* engine) {
    kernel::guarded([engine] { static_cast<CNexum*>(engine)->run_notifications(); });
    return 0;
}

void CNexum::run_tasks() {
    ITask* popped = nullptr;
    while (task_run_ && tasks_.pop(popped)) {
        const std::unique_ptr<ITask> task(popped);
        // A task that throws (out of memory) is dropped; the thread goes on with the next.
        kernel::guarded([this, &task] { handle_task(task.get()); });
        if (!task_run_) {
            break;
        }
    }
    join_downloads();
    notes_.close();
}

void CNexum::run_notifications() {
    INotification* note = nullptr;
    while (notification_run_ && notes_.pop(note)) {
        INotifications* receiver = nullptr;
        {
            kernel::CLock guard(lock_);
            receiver = receiver_;
            in_receiver_ = receiver != nullptr;
        }
        // A notification whose handling throws (out of memory for a large feed) is dropped.
        const bool kept =
            receiver != nullptr &&
            kernel::guarded([receiver, note] { return receiver->on_notification(note); }, false);
        if (receiver != nullptr) {
            kernel::CLock guard(lock_);
            in_receiver_ = false;
            receiver_left_.notify_all();
        }
        if (!kept) {
            delete note;
        }
        if (!notification_run_) {
            break;
        }
    }
}

void CNexum::handle_task(ITask* task) {
    switch (task->type()) {
    case TaskConnect: {
        post(std::make_unique<CNotificationBase>(Connecting));
        {
            kernel::CLock guard(connection_.lock);
            connection_.handle.reset();
        }
        bool connected = false;
        {
            kernel::CLock guard(connection_.lock);
            connection_.handle.reset(curl_easy_init());
            connected = connection_.handle.is_valid();
        }
        post(std::make_unique<CNotificationBase>(connected ? Connected : ConnectFailed));
        break;
    }
    case TaskDisconnect: {
        bool had_handle = false;
        {
            kernel::CLock guard(connection_.lock);
            had_handle = connection_.handle.is_valid();
        }
        if (!had_handle) {
            post(std::make_unique<CNotificationBase>(NotConnected));
            break;
        }
        post(std::make_unique<CNotificationBase>(Disconnecting));
        {
            kernel::CLock guard(connection_.lock);
            connection_.handle.reset();
        }
        post(std::make_unique<CNotificationBase>(Disconnected));
        break;
    }
    case TaskGetMemoryFile:
        start_download(*static_cast<CTaskGetMemoryFile*>(task));
        break;
    case TaskReapDownload:
        reap_download(static_cast<CTaskReapDownload*>(task)->id);
        break;
    default:
        break;
    }
}

void CNexum::start_download(const CTaskGetMemoryFile& task) {
    // Shared with the thread, so that the copy goes whichever side fails; the list's node is made
    // before the thread, so that a thread once started is always in the list to be joined.
    const std::shared_ptr<CTaskGetMemoryFile> copy = std::make_shared<CTaskGetMemoryFile>(task);
    downloads_.emplace_back();
    try {
        downloads_.back().reset(new boost::thread(boost::bind(&CNexum::run_download, this, copy)));
    } catch (const boost::thread_resource_error&) {
        downloads_.pop_back();
        post(download_note(task, 1));
    }
}

void CNexum::reap_download(boost::thread::id id) {
    for (auto it = downloads_.begin(); it != downloads_.end(); ++it) {
        if (*it != nullptr && (*it)->get_id() == id) {
            (*it)->join();
            downloads_.erase(it);
            return;
        }
    }
}

void CNexum::join_downloads() {
    for (const std::unique_ptr<boost::thread>& thread : downloads_) {
        if (thread != nullptr) {
            thread->join();
        }
    }
    downloads_.clear();
}

// The entry of a download thread. Nothing may leave it (the process would end): a download that
// throws is dropped, and its thread still asks to be joined.
void CNexum::run_download(const std::shared_ptr<CTaskGetMemoryFile>& task) {
    if (!kernel::guarded([this, &task] { download(*task); })) {
        kernel::guarded(
            [this] { post_task(std::make_unique<CTaskReapDownload>(boost::this_thread::get_id())); });
    }
}

// Runs on a download thread of its own.
void CNexum::download(const CTaskGetMemoryFile& task) {
    RConnection local;
    {
        kernel::CLock guard(connection_.lock);
        if (connection_.handle.is_valid()) {
            local.handle.reset(curl_easy_duphandle(connection_.handle.get()));
        }
    }
    {
        kernel::CLock guard(local.lock);
        local.url = task.url;
        local.limit_ms = transfer_limit_ms_;
        local.request = task.request;
    }
    {
        kernel::CLock guard(user_agent_lock_);
        local.request.user_agent = user_agent_;
    }
    const std::string address(task.url.c_str(), static_cast<size_t>(task.url.length()));

    CURL* handle = nullptr;
    {
        kernel::CLock guard(local.lock);
        handle = local.handle.get();
    }
    if (handle == nullptr) {
        post(download_note(task, 1));
    } else {
        post(download_note(task, 0));
        // May take seconds: a configuration script to fetch, or a network to search for one.
        const RProxy proxy = proxies_.find(address, transfers_.flag());
        {
            kernel::CLock guard(local.lock);
            local.proxy = proxy;
        }
        std::unique_ptr<CNotificationDownload> result = download_note(task, 2);
        const bool ok = transfer(local, &result->file, &transfers_, &result->answer);
        result->kind = ok ? DownloadFinished : DownloadFailed;
        result->url = local.url;
        post(std::move(result));
    }
    {
        kernel::CLock guard(local.lock);
        local.handle.reset();
    }
    post_task(std::make_unique<CTaskReapDownload>(boost::this_thread::get_id()));
}

} // namespace nexum
