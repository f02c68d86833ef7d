#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "kernel/sync.h"

namespace nexum {

// What a transfer does about a proxy.
struct RProxy {
    enum Kind {
        ENVIRONMENT, // Internet Options name none: libcurl reads http_proxy and the like
        DIRECT,      // Internet Options say no proxy for this address
        NAMED,
    };
    Kind kind = ENVIRONMENT;
    std::string proxy;    // NAMED: "http://host:port" or "socks4://host:port"
    std::string no_proxy; // NAMED: the bypass list in libcurl's form, for redirects
};

// The user's Internet Options, as WinHttpGetIEProxyConfigForCurrentUser gives them.
struct RInternetOptions {
    bool auto_detect = false;
    std::string config_url; // the automatic configuration script's address
    std::string proxy;      // "host:port", or per scheme "http=host:port;https=host:port"
    std::string bypass;     // "host;*.domain;10.*;<local>"
};

// The proxy a list of Internet Options (or of a configuration script) gives a URL of the scheme,
// with a scheme of its own; empty when it names none for that scheme.
std::string pick_proxy(const std::string& list, const std::string& scheme);
// Whether host goes direct by the bypass list, wildcards and "<local>" (no dot) as Windows reads
// them.
bool is_bypassed(const std::string& bypass, const std::string& host);
// The entries of the bypass list that libcurl's own list can say: names, domains and IPv4
// prefixes. It decides only where a redirect leads; the feed's own host goes by is_bypassed.
std::string curl_no_proxy(const std::string& bypass);
// The choice for url by fixed options (the automatic ones already tried).
RProxy choose_proxy(const RInternetOptions& options, const std::string& url);

// How long a choice is kept: finding it may take seconds (a configuration script to download,
// or a network to search for one), and the feed is polled every minute.
const std::int64_t PROXY_KEEP_MS = 5 * 60 * 1000;

// Finds the proxy that Internet Options give a URL, and keeps the choice for a while. Called on
// the download threads.
class CProxyFinder {
public:
    CProxyFinder() = default;
    CProxyFinder(const CProxyFinder&) = delete;
    CProxyFinder& operator=(const CProxyFinder&) = delete;

    // abort, when set, ends a search under way within about a tenth of a second.
    RProxy find(const std::string& url, const std::atomic<bool>* abort);

private:
    kernel::CCriticalSection lock_;
    // The last choice and the site it was for ("scheme://host:port"); guarded by lock_.
    std::string origin_;
    RProxy proxy_;
    std::int64_t until_ms_ = 0;
};

} // namespace nexum
