#include "nexum/download.h"

#include "string/convert.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "kernel/guard.h"

namespace nexum {

namespace {

const size_t REFUSE = static_cast<size_t>(-1);
// Both codings every server offers; libcurl inflates them before the sink sees the bytes, so
// the body's cap holds for what they inflate to.
const char* const ACCEPTED_CODINGS = "gzip, deflate";

// The headers of the answer under way. With redirects every answer's headers pass by; a status
// line starts the next answer's.
struct RHeaderSink {
    RAnswer* answer; // not owned
    std::string retry_after;
    std::string date;
};

// True when line starts with the header's name and a colon, in any case; value is the rest.
bool header_value(const char* line, size_t length, const char* name, std::string& value) {
    const size_t name_length = std::strlen(name);
    if (length <= name_length || line[name_length] != ':') {
        return false;
    }
    for (size_t i = 0; i < name_length; ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) != name[i]) {
            return false;
        }
    }
    value = string::trimmed(std::string(line + name_length + 1, length - name_length - 1));
    return true;
}

size_t read_header(char* line, size_t size, size_t count, void* user) {
    RHeaderSink* sink = static_cast<RHeaderSink*>(user);
    const size_t length = size * count;
    if (length >= 5 && std::memcmp(line, "HTTP/", 5) == 0) {
        sink->answer->status_line = string::trimmed(std::string(line, length));
        sink->answer->etag.clear();
        sink->answer->last_modified.clear();
        sink->retry_after.clear();
        sink->date.clear();
        return length;
    }
    std::string value;
    if (header_value(line, length, "etag", value)) {
        sink->answer->etag = value.size() <= MAX_VALIDATOR_BYTES ? value : std::string();
    } else if (header_value(line, length, "last-modified", value)) {
        sink->answer->last_modified = value.size() <= MAX_VALIDATOR_BYTES ? value : std::string();
    } else if (header_value(line, length, "retry-after", value)) {
        sink->retry_after = value;
    } else if (header_value(line, length, "date", value)) {
        sink->date = value;
    }
    return length;
}

// A header line that cannot be kept (out of memory) fails the transfer instead of unwinding
// through libcurl.
size_t header_callback(char* line, size_t size, size_t count, void* user) {
    return kernel::guarded([&] { return read_header(line, size, count, user); }, REFUSE);
}

// Owns the request's extra header lines while the handle uses them.
class CHeaderList {
public:
    explicit CHeaderList(CURL* curl) : curl_(curl) {}
    ~CHeaderList() {
        if (list_ != nullptr) {
            curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, nullptr);
            curl_slist_free_all(list_);
        }
    }
    CHeaderList(const CHeaderList&) = delete;
    CHeaderList& operator=(const CHeaderList&) = delete;

    void add(const char* name, const std::string& value) {
        if (value.empty()) {
            return;
        }
        curl_slist* longer = curl_slist_append(list_, (std::string(name) + ": " + value).c_str());
        if (longer != nullptr) {
            list_ = longer;
        }
    }
    void apply() {
        if (list_ != nullptr) {
            curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, list_);
        }
    }

private:
    CURL* curl_;                 // not owned
    curl_slist* list_ = nullptr; // owned
};

TransferEnd transfer_end(CURLcode code, bool over_limit, long status) {
    switch (code) {
    case CURLE_OK:
        return TransferDone;
    case CURLE_FILESIZE_EXCEEDED:
        return TransferTooBig;
    case CURLE_WRITE_ERROR:
        return over_limit ? TransferTooBig : TransferNoAnswer;
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_TOO_MANY_REDIRECTS:
        return TransferBadBody;
    case CURLE_UNSUPPORTED_PROTOCOL:
        // After an answer: a redirect away from the web.
        return status != 0 ? TransferBadBody : TransferNoAnswer;
    default:
        return TransferNoAnswer;
    }
}

size_t write_block(char* block, size_t size, size_t count, void* user) {
    ICurlFile* sink = static_cast<ICurlFile*>(user);
    if (sink == nullptr) {
        return REFUSE;
    }
    const size_t bytes = size * count;
    if (bytes > static_cast<size_t>(MAX_BODY_BYTES) ||
        !sink->write(block, static_cast<std::int32_t>(bytes))) {
        sink->abort();
        return REFUSE;
    }
    return bytes;
}

// libcurl is C: a block that cannot be stored (out of memory) fails the transfer instead of
// unwinding through it.
size_t write_callback(char* block, size_t size, size_t count, void* user) {
    return kernel::guarded([&] { return write_block(block, size, count, user); }, REFUSE);
}

// The longest a transfer waits without looking at its stop flag, should a wake-up be lost.
const int POLL_MS = 1000;
// The multi interface itself failed (no memory, no wake-up event): no answer.
const CURLcode MULTI_FAILED = CURLE_FAILED_INIT;

// The easy handle runs inside the multi handle for this object's life.
class CAddedHandle {
public:
    CAddedHandle(CURLM* multi, CURL* curl)
        : multi_(multi), curl_(curl), added_(curl_multi_add_handle(multi, curl) == CURLM_OK) {}
    ~CAddedHandle() {
        if (added_) {
            curl_multi_remove_handle(multi_, curl_);
        }
    }
    CAddedHandle(const CAddedHandle&) = delete;
    CAddedHandle& operator=(const CAddedHandle&) = delete;

    bool added() const { return added_; }

private:
    CURLM* multi_; // not owned
    CURL* curl_;   // not owned
    bool added_;
};

} // namespace

bool close_easy(CURL* handle) {
    curl_easy_cleanup(handle);
    return true;
}

bool close_multi(CURLM* handle) {
    return curl_multi_cleanup(handle) == CURLM_OK;
}

// A multi handle that stop() may wake, for this object's life.
class CStopRegistration {
public:
    CStopRegistration(CTransferStop* stop, CURLM* multi)
        : stop_(stop), multi_(multi), entered_(stop == nullptr || stop->enter(multi)) {}
    ~CStopRegistration() {
        if (stop_ != nullptr && entered_) {
            stop_->leave(multi_);
        }
    }
    CStopRegistration(const CStopRegistration&) = delete;
    CStopRegistration& operator=(const CStopRegistration&) = delete;

    bool stopped() const { return !entered_ || (stop_ != nullptr && stop_->stopped()); }

private:
    CTransferStop* stop_; // not owned
    CURLM* multi_;        // not owned
    bool entered_;
};

void CTransferStop::stop() {
    kernel::CLock guard(lock_);
    stopped_ = true;
    for (CURLM* multi : waiting_) {
        curl_multi_wakeup(multi);
    }
}

bool CTransferStop::enter(CURLM* multi) {
    kernel::CLock guard(lock_);
    if (stopped_) {
        return false;
    }
    waiting_.push_back(multi);
    return true;
}

void CTransferStop::leave(CURLM* multi) {
    kernel::CLock guard(lock_);
    waiting_.erase(std::find(waiting_.begin(), waiting_.end(), multi));
}

namespace {

// curl_easy_perform, but on a private multi handle, so that a stop wakes its wait at once
// instead of at libcurl's next progress call up to a second later.
CURLcode perform(CURL* curl, CTransferStop* stop, bool& stopped) {
    stopped = false;
    const CMultiHandle multi(curl_multi_init());
    if (multi.get() == nullptr) {
        return MULTI_FAILED;
    }
    const CAddedHandle added(multi.get(), curl);
    if (!added.added()) {
        return MULTI_FAILED;
    }
    const CStopRegistration registration(stop, multi.get());
    for (;;) {
        if (registration.stopped()) {
            stopped = true;
            return CURLE_ABORTED_BY_CALLBACK;
        }
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            return MULTI_FAILED;
        }
        if (running == 0) {
            break;
        }
        if (curl_multi_poll(multi.get(), nullptr, 0, POLL_MS, nullptr) != CURLM_OK) {
            return MULTI_FAILED;
        }
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == curl) {
            return message->data.result;
        }
    }
    return MULTI_FAILED;
}

} // namespace

bool CCurlFileMemory::open() {
    close();
    // A sink reused for another transfer must never hand back the bytes of the one before.
    data.clear();
    url.clear();
    failed_ = 0;
    over_limit_ = false;
    open_ = 1;
    return true;
}

void CCurlFileMemory::close() {
    if (open_ != 0) {
        failed_ = 0;
        open_ = 0;
    }
}

bool CCurlFileMemory::write(const char* bytes, std::int32_t count) {
    if (count <= 0) {
        return true;
    }
    if (count > limit - data.length()) {
        over_limit_ = true;
        return false;
    }
    data.append(count, bytes);
    return true;
}

void CCurlFileMemory::abort() {
    if (open_ != 0) {
        failed_ = 1;
        open_ = 0;
    }
}

void CCurlFileMemory::set_url(const string::weak_string<char>& text) {
    url = text;
}

CNotificationDownload::CNotificationDownload(int outcome) {
    switch (outcome) {
    case 0:
        kind = DownloadStarted;
        break;
    case 1:
        kind = DownloadFailed;
        break;
    case 2:
        kind = DownloadFinished;
        break;
    default:
        kind = 0;
        break;
    }
}

std::int64_t retry_after_seconds(const std::string& value, const std::string& date, std::time_t now) {
    if (value.empty()) {
        return -1;
    }
    if (std::isdigit(static_cast<unsigned char>(value[0]))) {
        std::int64_t seconds = 0;
        for (const char c : value) {
            if (!std::isdigit(static_cast<unsigned char>(c))) {
                return -1;
            }
            // Anything past a day is as good as a day to a caller that waits an hour at most.
            seconds = std::min<std::int64_t>(seconds * 10 + (c - '0'), 86400);
        }
        return seconds;
    }
    const std::time_t until = curl_getdate(value.c_str(), nullptr);
    if (until == -1) {
        return -1;
    }
    const std::time_t sent = date.empty() ? -1 : curl_getdate(date.c_str(), nullptr);
    const std::time_t from = sent != -1 ? sent : now;
    return until > from ? static_cast<std::int64_t>(until - from) : 0;
}

bool transfer(RConnection& connection, ICurlFile* sink, CTransferStop* stop, RAnswer* answer) {
    if (sink == nullptr || !sink->open()) {
        return false;
    }
    kernel::CLock guard(connection.lock);
    CURL* curl = connection.handle.get();
    RAnswer ignored;
    RHeaderSink headers{answer != nullptr ? answer : &ignored, std::string(), std::string()};
    char error[CURL_ERROR_SIZE] = {};
    CHeaderList extra(curl);
    curl_easy_setopt(curl, CURLOPT_URL, connection.url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &write_callback);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, sink);
    curl_easy_setopt(curl, CURLOPT_AUTOREFERER, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    // A redirect circle ends, and a redirect may not lead away from the web.
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, MAX_REDIRECTS);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // A server that drips bytes keeps the low-speed check happy; this ends it anyway, before
    // the next poll would start another transfer beside it.
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, connection.limit_ms);
    // Bounds: a dead server must not hold the thread (and the program's exit) forever, nor
    // may a huge body exhaust memory.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, CONNECT_TIMEOUT_MS);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, STALL_SECONDS);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(MAX_BODY_BYTES));
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, ACCEPTED_CODINGS);
    // Where the revocation server cannot be reached, as on many company networks, the check
    // is skipped rather than failed; a certificate known to be revoked still fails.
    curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &header_callback);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &headers);
    // A proxy's own answer to the tunnel request is no answer of the site's.
    curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    const RRequest& request = connection.request;
    if (!request.user_agent.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERAGENT, request.user_agent.c_str());
    }
    extra.add("If-None-Match", request.if_none_match);
    extra.add("If-Modified-Since", request.if_modified_since);
    extra.apply();
    switch (connection.proxy.kind) {
    case RProxy::DIRECT:
        curl_easy_setopt(curl, CURLOPT_PROXY, "");
        break;
    case RProxy::NAMED:
        curl_easy_setopt(curl, CURLOPT_PROXY, connection.proxy.proxy.c_str());
        curl_easy_setopt(curl, CURLOPT_NOPROXY, connection.proxy.no_proxy.c_str());
        break;
    default:
        break; // libcurl reads the proxy environment variables
    }

    bool stopped = false;
    const CURLcode code = perform(curl, stop, stopped);
    RAnswer& said = *headers.answer;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &said.status);
    char* content_type = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &content_type) == CURLE_OK &&
        content_type != nullptr) {
        said.content_type = content_type;
    }
    said.retry_after = retry_after_seconds(headers.retry_after, headers.date, std::time(nullptr));
    const CCurlFileMemory* memory = dynamic_cast<const CCurlFileMemory*>(sink);
    said.end = stopped ? TransferStopped
                       : transfer_end(code, memory != nullptr && memory->over_limit(), said.status);
    // The handle outlives this frame; nothing of it may point here any more.
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, nullptr);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, nullptr);
    if (code != CURLE_OK) {
        said.error = stopped ? "stopped" : error[0] != '\0' ? error : curl_easy_strerror(code);
        sink->abort();
        return false;
    }
    char* effective = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective != nullptr) {
        connection.url = effective;
    }
    sink->set_url(connection.url);
    sink->close();
    return true;
}

} // namespace nexum
