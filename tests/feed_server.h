// Talking to the scriptable feed server (tools/site.py) from Windows test programs.
#pragma once
#include <string>

#include <curl/curl.h>

namespace feed_server {

inline size_t collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// The body of a GET of site + path (with post_body, a POST of it); "" when it fails.
inline std::string get(const std::string& site, const std::string& path,
                       const std::string* post_body = nullptr) {
    std::string body;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, (site + path).c_str());
    if (post_body != nullptr) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, post_body->c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(post_body->size()));
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    const bool ok = curl_easy_perform(curl) == CURLE_OK;
    curl_easy_cleanup(curl);
    return ok ? body : std::string();
}

inline std::string escape(const std::string& text) {
    char* escaped = curl_easy_escape(nullptr, text.c_str(), static_cast<int>(text.size()));
    std::string out = escaped != nullptr ? escaped : "";
    curl_free(escaped);
    return out;
}

// Every broken or hostile answer the server can give (/t/hostile?case=NAME), with what the
// program makes of it: 0 for an answer it refuses (its last feed stays), otherwise the topics it
// shows of a feed that is well-formed but odd (that feed then is the one the next is judged
// against).
struct RHostileCase {
    const char* name;
    int shown;
};
const RHostileCase HOSTILE[] = {
    {"malformed", 0},      {"truncated", 0}, {"deep", 0},        {"big_length", 0},     {"big_chunked", 0},
    {"drip", 0},           {"hang", 0},      {"circle", 0},      {"scheme", 0},         {"invalid_utf8", 3},
    {"wrong_encoding", 3}, {"entities", 1},  {"big_numbers", 3}, {"many_topics", 1000}, {"long_texts", 5},
    {"control_chars", 3},  {"html_200", 0},  {"status_301", 0},  {"status_404", 0},     {"status_500", 0},
    {"status_503", 0},     {"empty_200", 0}, {"reset", 0},       {"gzip_bomb", 0},      {"gzip_broken", 0},
};

} // namespace feed_server
