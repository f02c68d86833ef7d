#pragma once

#include "string/istring.h"

#include <cstdint>
#include <string>

namespace string {

namespace priv {
bool parse_int(const char* text, std::int32_t length, std::int32_t& out);
bool parse_int(const wchar_t* text, std::int32_t length, std::int32_t& out);
} // namespace priv

// Non-owning view of a zero-terminated pointer, a standard string or one of the program's strings.
// The viewed text must outlive the view and stay unchanged while it is used: length and pointer are
// computed once and cached.
template <class T> class weak_string {
public:
    weak_string() = default;
    weak_string(const T* text) : chars_(text) {}
    weak_string(const std::basic_string<T>& text) : standard_(&text) {}
    weak_string(const basic_istring<T>& text) : interface_(&text) {}

    // A length of 0 is not cached, so it is recomputed each time.
    std::int32_t length() const {
        if (length_ != 0) {
            return length_;
        }
        if (standard_) {
            length_ = static_cast<std::int32_t>(standard_->size());
        } else if (interface_) {
            length_ = interface_->length();
        } else if (chars_) {
            length_ = static_cast<std::int32_t>(std::char_traits<T>::length(chars_));
        }
        return length_;
    }

    // Null only for an empty view without a source.
    const T* c_str() const {
        if (!chars_) {
            if (standard_) {
                chars_ = standard_->c_str();
            } else if (interface_) {
                chars_ = interface_->c_str();
            }
        }
        return chars_;
    }

    bool is_empty() const {
        if (standard_) {
            return standard_->empty();
        }
        if (interface_) {
            return interface_->is_empty();
        }
        return !chars_ || chars_[0] == T(0);
    }

    // Decimal, with optional leading white space and sign; true only when every character was used
    // and the value fits. An empty text gives 0 and true.
    bool to_int(std::int32_t& out) const { return priv::parse_int(c_str(), length(), out); }

private:
    mutable const T* chars_ = nullptr;
    const std::basic_string<T>* standard_ = nullptr;
    const basic_istring<T>* interface_ = nullptr;
    mutable std::int32_t length_ = 0;
};

// A copy of text as a standard string, for code that keeps its texts in those.
inline std::wstring to_standard(const weak_string<wchar_t>& text) {
    return text.is_empty() ? std::wstring() : std::wstring(text.c_str(), static_cast<size_t>(text.length()));
}

} // namespace string
