#include "nexum/proxy.h"

#include "kernel/owner.h"
#include "string/convert.h"

#include <cctype>
#include <memory>
#include <vector>

#include <boost/thread/thread.hpp>
#include <curl/curl.h>
#include <windows.h>
// after windows.h, which it needs
#include <winhttp.h>

namespace nexum {

namespace {

// How long one wait for the search lasts before the abort flag is looked at again.
const DWORD ABORT_CHECK_MS = 100;
// The limits WinHTTP keeps to while it fetches a configuration script.
const int SCRIPT_TIMEOUT_MS = 5000;

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Entries separated by ';', spaces or commas, as Internet Options and scripts write them.
std::vector<std::string> entries(const std::string& list) {
    std::vector<std::string> out;
    std::string entry;
    for (const char c : list + ";") {
        if (c == ';' || c == ',' || std::isspace(static_cast<unsigned char>(c))) {
            if (!entry.empty()) {
                out.push_back(entry);
            }
            entry.clear();
        } else {
            entry.push_back(c);
        }
    }
    return out;
}

bool starts_with(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// "http://host:port/" → "host:port"; "host:port" stays.
std::string without_scheme(const std::string& entry) {
    const size_t at = entry.find("://");
    std::string rest = at == std::string::npos ? entry : entry.substr(at + 3);
    const size_t slash = rest.find('/');
    return slash == std::string::npos ? rest : rest.substr(0, slash);
}

// '*' stands for any run of characters, as in the bypass list.
bool wildcard_match(const char* pattern, const char* text) {
    if (*pattern == '\0') {
        return *text == '\0';
    }
    if (*pattern == '*') {
        for (const char* at = text;; ++at) {
            if (wildcard_match(pattern + 1, at)) {
                return true;
            }
            if (*at == '\0') {
                return false;
            }
        }
    }
    return *text != '\0' && *pattern == *text && wildcard_match(pattern + 1, text + 1);
}

// "10.*" → "10.0.0.0/8", "192.168.1.*" → "192.168.1.0/24"; empty for anything else.
std::string ipv4_prefix(const std::string& entry) {
    if (entry.size() < 2 || entry.compare(entry.size() - 2, 2, ".*") != 0) {
        return std::string();
    }
    const std::string head = entry.substr(0, entry.size() - 2);
    int parts = 1;
    for (const char c : head) {
        if (c == '.') {
            ++parts;
        } else if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::string();
        }
    }
    if (head.empty() || parts > 3) {
        return std::string();
    }
    std::string out = head;
    for (int i = parts; i < 4; ++i) {
        out += ".0";
    }
    return out + "/" + std::to_string(parts * 8);
}

struct RUrlParts {
    std::string scheme;
    std::string host;
    std::string port;
};

bool close_url(CURLU* url) {
    curl_url_cleanup(url);
    return true;
}
using CUrl = kernel::COwner<CURLU*, &close_url>;

// One part of a parsed address; empty when it has none.
std::string url_part(const CUrl& url, CURLUPart which) {
    char* text = nullptr;
    if (!url.is_valid() || curl_url_get(url.get(), which, &text, 0) != CURLUE_OK) {
        return std::string();
    }
    std::string out = text;
    curl_free(text);
    return out;
}

RUrlParts url_parts(const std::string& url) {
    RUrlParts parts;
    const CUrl parsed(curl_url());
    if (!parsed.is_valid() || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return parts;
    }
    parts.scheme = lower(url_part(parsed, CURLUPART_SCHEME));
    parts.host = lower(url_part(parsed, CURLUPART_HOST));
    parts.port = url_part(parsed, CURLUPART_PORT);
    if (parts.host.size() > 2 && parts.host.front() == '[' && parts.host.back() == ']') {
        parts.host = parts.host.substr(1, parts.host.size() - 2);
    }
    return parts;
}

std::string narrow(const wchar_t* text) {
    return text != nullptr ? string::to_utf8(std::wstring(text)) : std::string();
}

// Texts that WinHTTP allocated for the caller, and its sessions.
bool free_global(wchar_t* text) {
    return GlobalFree(text) == nullptr;
}
bool close_internet(HINTERNET handle) {
    return WinHttpCloseHandle(handle) != FALSE;
}
using CGlobalText = kernel::COwner<wchar_t*, &free_global>;
using CInternet = kernel::COwner<HINTERNET, &close_internet>;

RInternetOptions internet_options() {
    RInternetOptions options;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    const BOOL read = WinHttpGetIEProxyConfigForCurrentUser(&config);
    const CGlobalText config_url(config.lpszAutoConfigUrl);
    const CGlobalText proxy(config.lpszProxy);
    const CGlobalText bypass(config.lpszProxyBypass);
    if (!read) {
        return options;
    }
    options.auto_detect = config.fAutoDetect != FALSE;
    options.config_url = narrow(config_url.get());
    options.proxy = narrow(proxy.get());
    options.bypass = narrow(bypass.get());
    return options;
}

// One automatic search, shared by the download thread that waits for it and the thread that
// runs it, so that a stop can leave the search behind without waiting for it.
struct RAutoSearch {
    std::wstring url;
    std::wstring config_url;
    bool detect = false;
    kernel::CManualEvent done;
    // Written before done is set.
    bool answered = false;
    bool direct = false;
    std::string proxy;
    std::string bypass;
};

void run_search(std::shared_ptr<RAutoSearch> search) {
    CInternet session(WinHttpOpen(L"Pelikant", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0));
    if (session.get() != nullptr) {
        WinHttpSetTimeouts(session.get(), SCRIPT_TIMEOUT_MS, SCRIPT_TIMEOUT_MS, SCRIPT_TIMEOUT_MS,
                           SCRIPT_TIMEOUT_MS);
        WINHTTP_AUTOPROXY_OPTIONS options = {};
        if (search->detect) {
            options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
            options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        }
        if (!search->config_url.empty()) {
            options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = search->config_url.c_str();
        }
        WINHTTP_PROXY_INFO info = {};
        const BOOL found = WinHttpGetProxyForUrl(session.get(), search->url.c_str(), &options, &info);
        const CGlobalText proxy(info.lpszProxy);
        const CGlobalText bypass(info.lpszProxyBypass);
        if (found) {
            search->answered = true;
            search->direct = info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY;
            search->proxy = narrow(proxy.get());
            search->bypass = narrow(bypass.get());
        }
    }
    search->done.set();
}

// The automatic configuration's answer for url; false when it gave none (no script found, or
// the search was aborted).
bool search_automatic(const RInternetOptions& options, const std::string& url, const std::atomic<bool>* abort,
                      RProxy& out) {
    std::shared_ptr<RAutoSearch> search = std::make_shared<RAutoSearch>();
    search->url = string::from_utf8(url);
    search->config_url = string::from_utf8(options.config_url);
    search->detect = options.auto_detect;
    try {
        boost::thread(&run_search, search).detach();
    } catch (const boost::thread_resource_error&) {
        return false;
    }
    while (!search->done.wait(ABORT_CHECK_MS)) {
        if (abort != nullptr && abort->load()) {
            return false;
        }
    }
    if (!search->answered) {
        return false;
    }
    const RUrlParts parts = url_parts(url);
    out.proxy = search->direct ? std::string() : pick_proxy(search->proxy, parts.scheme);
    out.kind = out.proxy.empty() ? RProxy::DIRECT : RProxy::NAMED;
    out.no_proxy = out.proxy.empty() ? std::string() : curl_no_proxy(search->bypass);
    return true;
}

} // namespace

std::string pick_proxy(const std::string& list, const std::string& scheme) {
    std::string plain, socks;
    for (const std::string& entry : entries(list)) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos) {
            if (plain.empty()) {
                plain = entry;
            }
            continue;
        }
        const std::string kind = lower(entry.substr(0, equals));
        const std::string address = entry.substr(equals + 1);
        if (kind == scheme && !address.empty()) {
            return "http://" + without_scheme(address);
        }
        if (kind == "socks" && socks.empty()) {
            socks = address;
        }
    }
    if (!plain.empty()) {
        return plain.find("://") != std::string::npos ? plain : "http://" + plain;
    }
    return socks.empty() ? std::string() : "socks4://" + without_scheme(socks);
}

bool is_bypassed(const std::string& bypass, const std::string& host) {
    const std::string name = lower(host);
    for (const std::string& entry : entries(bypass)) {
        if (lower(entry) == "<local>") {
            if (!name.empty() && name.find('.') == std::string::npos && name.find(':') == std::string::npos) {
                return true;
            }
            continue;
        }
        std::string pattern = lower(without_scheme(entry));
        // A port in an entry narrows it further than a host can say; the host decides.
        const size_t colon = pattern.rfind(':');
        if (colon != std::string::npos && pattern.find(':') == colon) {
            pattern.resize(colon);
        }
        if (!pattern.empty() && wildcard_match(pattern.c_str(), name.c_str())) {
            return true;
        }
    }
    return false;
}

std::string curl_no_proxy(const std::string& bypass) {
    std::string out;
    for (const std::string& entry : entries(bypass)) {
        std::string name = lower(without_scheme(entry));
        if (name == "*") {
            return "*";
        }
        const std::string prefix = ipv4_prefix(name);
        if (!prefix.empty()) {
            name = prefix;
        } else if (starts_with(name, "*.")) {
            name = name.substr(2);
        }
        if (name.empty() || name.find('*') != std::string::npos || name.find('<') != std::string::npos) {
            continue;
        }
        out += (out.empty() ? "" : ",") + name;
    }
    return out;
}

RProxy choose_proxy(const RInternetOptions& options, const std::string& url) {
    RProxy choice;
    if (options.proxy.empty()) {
        return choice;
    }
    const RUrlParts parts = url_parts(url);
    if (is_bypassed(options.bypass, parts.host)) {
        choice.kind = RProxy::DIRECT;
        return choice;
    }
    choice.proxy = pick_proxy(options.proxy, parts.scheme);
    if (choice.proxy.empty()) {
        return choice;
    }
    choice.kind = RProxy::NAMED;
    choice.no_proxy = curl_no_proxy(options.bypass);
    return choice;
}

RProxy CProxyFinder::find(const std::string& url, const std::atomic<bool>* abort) {
    // Kept per site: the choice for one of its addresses is the choice for all.
    const RUrlParts parts = url_parts(url);
    const std::string origin = parts.scheme + "://" + parts.host + ":" + parts.port;
    {
        kernel::CLock guard(lock_);
        if (origin == origin_ && static_cast<std::int64_t>(GetTickCount64()) < until_ms_) {
            return proxy_;
        }
    }
    const RInternetOptions options = internet_options();
    RProxy choice;
    const bool automatic = options.auto_detect || !options.config_url.empty();
    if (!automatic || !search_automatic(options, url, abort, choice)) {
        // Windows, too, falls back on the fixed proxy when no script answers.
        choice = choose_proxy(options, url);
    }
    if (abort != nullptr && abort->load()) {
        return choice; // a search cut short is not remembered
    }
    kernel::CLock guard(lock_);
    origin_ = origin;
    proxy_ = choice;
    until_ms_ = static_cast<std::int64_t>(GetTickCount64()) + PROXY_KEEP_MS;
    return choice;
}

} // namespace nexum
