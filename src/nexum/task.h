#pragma once
#include <cstdint>
#include <string>

#include "string/basic_string.h"

namespace nexum {

enum TaskType { TaskConnect = 0, TaskDisconnect = 1, TaskGetMemoryFile = 2 };

enum NotificationKind {
    Connecting = 1,
    ConnectFailed = 2,
    Connected = 3,
    Disconnecting = 4,
    Disconnected = 5,
    NotConnected = 6,
    DownloadStarted = 7,
    DownloadFailed = 8,
    DownloadFinished = 9,
};

// Tasks and notifications are deleted through these interfaces.
class ITask {
public:
    virtual int type() const = 0;
    virtual ~ITask() = default;
};

class CTaskConnect : public ITask {
public:
    int type() const override { return TaskConnect; }
};

class CTaskDisconnect : public ITask {
public:
    int type() const override { return TaskDisconnect; }
};

// What a download sends besides its address; an empty text sends no header.
struct RRequest {
    std::string user_agent;
    // A conditional download: the validators of the copy already held, sent back as they came.
    std::string if_none_match;
    std::string if_modified_since;
};

class CTaskGetMemoryFile : public ITask {
public:
    explicit CTaskGetMemoryFile(const string::weak_string<char>& address) : url(address) {}
    CTaskGetMemoryFile(const CTaskGetMemoryFile& other)
        : ITask(), url(other.url), request(other.request), tag(other.tag) {}
    int type() const override { return TaskGetMemoryFile; }

    string::basic_string<char, 256> url;
    RRequest request;
    // The caller's number for this download, handed back with its notifications, so that an
    // answer can be told from the answer to another request.
    std::uint64_t tag = 0;
};

class INotification {
public:
    virtual int type() const = 0;
    virtual ~INotification() = default;
};

class CNotificationBase : public INotification {
public:
    explicit CNotificationBase(int kind) : kind_(kind) {}
    int type() const override { return kind_; }

private:
    int kind_;
};

// The one receiver of an engine's notifications, called on the engine's notification thread.
class INotifications {
public:
    // True keeps the notification (and the duty to delete it); false lets the engine delete it.
    virtual bool on_notification(INotification* notification) = 0;

protected:
    ~INotifications() = default;
};

} // namespace nexum
