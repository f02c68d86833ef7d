#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include <ctime>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "memory/chunked.h"
#include "kernel/owner.h"
#include "kernel/sync.h"
#include "nexum/proxy.h"
#include "nexum/task.h"
#include "string/basic_string.h"

namespace nexum {

// A feed is a few kilobytes; anything near this is a broken or hostile server.
const std::int32_t MAX_BODY_BYTES = 16 * 1024 * 1024;
// A connection that cannot be made, or a transfer that stalls, ends well before the next
// poll a minute later.
const long CONNECT_TIMEOUT_MS = 10000;
const long STALL_SECONDS = 20;
// Everything a transfer may take, below the 60 s poll period; and the redirects it may follow.
const long TRANSFER_LIMIT_MS = 45000;
const long MAX_REDIRECTS = 10;

// Receiver of one transfer's bytes.
class ICurlFile {
public:
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool write(const char* bytes, std::int32_t count) = 0;
    virtual void abort() = 0;
    virtual void set_url(const string::weak_string<char>& text) = 0;
    virtual ~ICurlFile() = default;
};

// Keeps the received bytes in memory, up to a cap.
class CCurlFileMemory : public ICurlFile {
public:
    CCurlFileMemory() = default;
    ~CCurlFileMemory() override { close(); }
    CCurlFileMemory(const CCurlFileMemory&) = delete;
    CCurlFileMemory& operator=(const CCurlFileMemory&) = delete;

    bool open() override;
    void close() override;
    // Refuses (and so ends the transfer) only when the body would pass the cap.
    bool write(const char* bytes, std::int32_t count) override;
    void abort() override;
    void set_url(const string::weak_string<char>& text) override;

    bool is_open() const { return open_ != 0; }
    bool failed() const { return failed_ != 0; }
    // A write was refused because the body would have passed the cap.
    bool over_limit() const { return over_limit_; }

    memory::ChunkedMemory<char, 1024> data;
    string::basic_string<char, 256> url;
    std::int32_t limit = MAX_BODY_BYTES;

private:
    unsigned char open_ = 0;
    unsigned char failed_ = 0;
    bool over_limit_ = false;
};

// How a transfer ended, as far as its receiver cares.
enum TransferEnd {
    TransferDone,
    TransferNoAnswer, // no connection, DNS, time-out, TLS, proxy, or the connection broke
    TransferTooBig,   // the body, decoded, would have passed the cap
    TransferBadBody,  // a body that could not be decoded, or redirects that lead nowhere
    TransferStopped,  // the engine was stopped
};

// Longest validator kept: a feed's ETag is a few dozen bytes.
const size_t MAX_VALIDATOR_BYTES = 1024;

// What the server's last answer said besides its body.
struct RAnswer {
    TransferEnd end = TransferNoAnswer;
    long status = 0;         // the HTTP status; 0 when no answer came
    std::string status_line; // "HTTP/1.1 503 Service Unavailable"
    std::string content_type;
    std::string etag; // as received, to be sent back as it is
    std::string last_modified;
    std::int64_t retry_after = -1; // seconds; -1 when the answer set none
    std::string error;             // libcurl's words for a failure
};

// Seconds a Retry-After value asks for: a number of seconds, or an HTTP date against date (the
// answer's own Date, so that a wrong clock here does not matter) or else now. -1 when it is
// neither; 0 for a date gone by.
std::int64_t retry_after_seconds(const std::string& value, const std::string& date, std::time_t now);

// Kinds 7 to 9: a download began, failed or finished with its bytes.
class CNotificationDownload : public INotification {
public:
    // Outcome 0 started, 1 failed, 2 finished.
    explicit CNotificationDownload(int outcome);
    int type() const override { return kind; }

    int kind;
    CCurlFileMemory file;
    string::basic_string<char, 256> url;
    RAnswer answer;
    std::uint64_t tag = 0; // that of the download's task
};

bool close_easy(CURL* handle);
bool close_multi(CURLM* handle);
using CEasyHandle = kernel::COwner<CURL*, &close_easy>;
using CMultiHandle = kernel::COwner<CURLM*, &close_multi>;

// A libcurl easy handle with the lock that guards it and the URL it works on.
struct RConnection {
    CEasyHandle handle; // callers hold the lock
    kernel::CCriticalSection lock;
    string::basic_string<char, 256> url;
    long limit_ms = TRANSFER_LIMIT_MS;
    RRequest request;
    RProxy proxy;
};

// Ends running transfers at once, wherever they wait: each transfer waits on a multi handle of
// its own that it registers here, and stop() wakes every registered one.
class CTransferStop {
public:
    CTransferStop() = default;
    CTransferStop(const CTransferStop&) = delete;
    CTransferStop& operator=(const CTransferStop&) = delete;

    // Ends the transfers under way and refuses new ones until reset.
    void stop();
    void reset() { stopped_ = false; }
    bool stopped() const { return stopped_; }
    // For waits that look at a flag, such as the proxy search.
    const std::atomic<bool>* flag() const { return &stopped_; }

private:
    friend class CStopRegistration;
    // False when already stopped: the transfer is not to begin.
    bool enter(CURLM* multi);
    void leave(CURLM* multi);

    kernel::CCriticalSection lock_;
    std::vector<CURLM*> waiting_; // not owned; guarded by lock_
    std::atomic<bool> stopped_{false};
};

// Runs one transfer on the connection into sink. stop, when given, ends it at once. answer,
// when given, gets what the server said. True when the transfer succeeded, whatever the HTTP
// status.
bool transfer(RConnection& connection, ICurlFile* sink, CTransferStop* stop, RAnswer* answer = nullptr);

} // namespace nexum
