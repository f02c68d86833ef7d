#pragma once

namespace kernel {

// Owns one Win32 HANDLE. Both null and INVALID_HANDLE_VALUE mean "empty": Win32 returns
// one or the other for failure depending on the call.
class CHandle {
public:
    CHandle() = default;
    explicit CHandle(void* handle) : handle_(handle) {}
    ~CHandle() { reset(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    void* get() const { return handle_; }
    bool is_valid() const { return is_valid(handle_); }
    // Closes the handle held and takes `handle`; false when closing the old one failed.
    bool reset(void* handle = nullptr);
    // Gives the handle up without closing it.
    void* release();

    static bool is_valid(void* handle);

private:
    void* handle_ = nullptr;
};

} // namespace kernel
