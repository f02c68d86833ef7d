#pragma once

#include "memory/chunked.h"
#include "string/istring.h"
#include "string/weak_string.h"

#include <cstdint>
#include <string>

namespace string {

// A string over a storage it does not own, which must outlive it.
template <class T> class super_string : public basic_istring<T> {
public:
    using iterator = memory::ChunkedIterator<T>;

    explicit super_string(memory::IChunkedStorage<T>* storage) : chars_(storage) {}
    super_string(memory::IChunkedStorage<T>* storage, const T* text) : chars_(storage) { append(text); }
    super_string(memory::IChunkedStorage<T>* storage, const weak_string<T>& text) : chars_(storage) {
        append(text);
    }
    super_string(memory::IChunkedStorage<T>* storage, const basic_istring<T>& other) : chars_(storage) {
        assign(other);
    }
    // A copy would need a storage of its own; see basic_string.
    super_string(const super_string&) = delete;
    super_string& operator=(const super_string& other) {
        assign(other);
        return *this;
    }
    ~super_string() override = default;

    bool is_empty() const override { return chars_.length() == 0; }
    std::int32_t length() const override { return chars_.length(); }
    // The terminator is not part of the string: the next append overwrites it.
    // The first call may rearrange the characters; once they are contiguous and terminated,
    // later calls only read. So a text that several threads read at once must have had c_str()
    // called once before it was shared (or be read under a lock).
    const T* c_str() const override {
        chars_.linearize(1);
        T* data = chars_.data();
        if (data[chars_.length()] != T(0)) {
            data[chars_.length()] = T(0);
        }
        return data;
    }
    iterator begin() const override { return chars_.begin(); }
    iterator end() const override { return chars_.end(); }
    virtual bool owns_storage() const { return false; }

    void append(std::int32_t n, const T* src) { chars_.append(n, src); }
    void append(const weak_string<T>& text) {
        if (!text.is_empty()) {
            chars_.append(text.length(), text.c_str());
        }
    }
    void push_back(T c) { chars_.push_back(c); }
    void prepend(std::int32_t n, const T* src) { chars_.prepend(n, src); }
    iterator insert_space(iterator at, std::int32_t n) { return chars_.insert_space(at, n); }
    iterator insert(iterator at, T c) { return chars_.insert(at, c); }
    iterator erase(iterator from, iterator to) { return chars_.erase(from, to); }
    void resize(std::int32_t n) { chars_.resize(n); }
    void clear() { chars_.clear(); }
    void assign(const basic_istring<T>& other) {
        if (&other != this) {
            chars_.assign(other.begin(), other.length());
        }
    }
    void assign(const weak_string<T>& text) {
        const T* src = text.c_str();
        if (src && lies_in_chars(src)) {
            // A view into these very characters: copy before letting the old ones go.
            std::int32_t old = chars_.length();
            append(text);
            chars_.erase(chars_.begin(), chars_.position(old));
            return;
        }
        chars_.clear();
        append(text);
    }
    void linearize(std::int32_t extra) { chars_.linearize(extra); }
    T* data() const { return chars_.data(); }

    // Room for n more characters behind the current ones, terminated after the current ones. Write
    // from data() + length(), then resize() to the new length.
    T* write_buffer(std::int32_t n) {
        chars_.linearize(n > 0 ? n : 1);
        T* data = chars_.data();
        data[chars_.length()] = T(0);
        return data;
    }

    bool equals(const weak_string<T>& text) const {
        std::int32_t n = text.length();
        if (n != chars_.length()) {
            return false;
        }
        const T* other = text.c_str();
        for (iterator it = chars_.begin(); !it.is_end();) {
            std::int32_t piece = it.available();
            if (std::char_traits<T>::compare(&it.value(), other, piece) != 0) {
                return false;
            }
            other += piece;
            it.advance(piece);
        }
        return true;
    }

    // The characters as a sequence, for code written against SuperChunkedMemory.
    memory::SuperChunkedMemory<T>& chars() { return chars_; }
    const memory::SuperChunkedMemory<T>& chars() const { return chars_; }

protected:
    void set_storage(memory::IChunkedStorage<T>* storage) { chars_.set_storage(storage); }
    void release_storage() { chars_.release_storage(); }

private:
    bool lies_in_chars(const T* p) const {
        for (const auto* node = chars_.first_node(); node; node = node->next) {
            if (p >= node->data + node->region_start && p < node->data + node->region_end) {
                return true;
            }
        }
        return false;
    }

    // c_str() makes the characters contiguous without changing them.
    mutable memory::SuperChunkedMemory<T> chars_;
};

// The owning string: its storage lives inside it, so up to 255 characters added in one piece need
// no heap call, terminator included. Copies get their own storage.
template <class T, std::int32_t N = 256>
class basic_string : public super_string<T>, private memory::priv::InternalChunkedMemory<T, N> {
public:
    basic_string() : super_string<T>(nullptr) { this->set_storage(&this->internal_storage_); }
    basic_string(const T* text) : basic_string() { this->append(text); }
    basic_string(const weak_string<T>& text) : basic_string() { this->append(text); }
    basic_string(const basic_istring<T>& other) : basic_string() { this->assign(other); }
    basic_string(const basic_string& other) : basic_string() { this->assign(other); }

    basic_string& operator=(const basic_string& other) {
        this->assign(other);
        return *this;
    }
    basic_string& operator=(const basic_istring<T>& other) {
        this->assign(other);
        return *this;
    }
    basic_string& operator=(const weak_string<T>& text) {
        this->assign(text);
        return *this;
    }
    basic_string& operator=(const T* text) {
        this->assign(weak_string<T>(text));
        return *this;
    }

    // The storage base dies before the string base: give the characters back while it is alive.
    ~basic_string() override { this->release_storage(); }

    bool owns_storage() const override { return true; }
};

// The program's own owning strings: UTF-16 texts, and narrow ones (UTF-8 or addresses).
using wide_string = basic_string<wchar_t, 256>;
using narrow_string = basic_string<char, 256>;

} // namespace string
