#include "string/weak_string.h"

#include <climits>
#include <cstdlib>
#include <cwchar>

namespace string {
namespace priv {

namespace {

template <class T, class Parse>
bool parse(const T* text, std::int32_t length, std::int32_t& out, Parse parse_long) {
    if (!text || length == 0) {
        out = 0;
        return true;
    }
    T* stop = nullptr;
    // Out of range values clamp to the 32-bit limits, as wcstol does where long is 32 bits;
    // the feed's ids are small, and a clamped id is still a number that was there.
    long long value = parse_long(text, &stop, 10);
    if (value > INT32_MAX) {
        value = INT32_MAX;
    } else if (value < INT32_MIN) {
        value = INT32_MIN;
    }
    out = static_cast<std::int32_t>(value);
    return stop - text == length;
}

} // namespace

bool parse_int(const char* text, std::int32_t length, std::int32_t& out) {
    return parse(text, length, out, [](const char* s, char** e, int b) { return std::strtoll(s, e, b); });
}

bool parse_int(const wchar_t* text, std::int32_t length, std::int32_t& out) {
    return parse(text, length, out,
                 [](const wchar_t* s, wchar_t** e, int b) { return std::wcstoll(s, e, b); });
}

} // namespace priv

template class weak_string<char>;
template class weak_string<wchar_t>;

} // namespace string
