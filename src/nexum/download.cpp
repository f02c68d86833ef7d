#include "nexum/download.h"

#include "kernel/guard.h"

namespace nexum {

namespace {

const size_t REFUSE = static_cast<size_t>(-1);

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

// Called about once a second even while nothing arrives, so a stop is noticed quickly.
int progress_callback(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const std::atomic<bool>* abort = static_cast<const std::atomic<bool>*>(user);
    return abort != nullptr && abort->load() ? 1 : 0;
}

} // namespace

bool CCurlFileMemory::open() {
    close();
    // A sink reused for another transfer must never hand back the bytes of the one before.
    data.clear();
    url.clear();
    failed_ = 0;
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

bool transfer(RConnection& connection, ICurlFile* sink, const std::atomic<bool>* abort) {
    if (sink == nullptr || !sink->open()) {
        return false;
    }
    kernel::CLock guard(connection.lock);
    CURL* curl = connection.handle;
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
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &progress_callback);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(abort));

    if (curl_easy_perform(curl) != CURLE_OK) {
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
