#pragma once

namespace kernel {

template <class H> bool not_null(H handle) {
    return handle != H();
}

// Owns one handle of a system or library resource (a kernel object, a font, an icon, a menu, an
// image list, a libcurl handle): Close frees it when it is replaced and when its owner goes.
// Valid tells a handle from "none". Where a kind of handle needs more than this, free functions
// beside its alias make and use it.
template <class H, bool (*Close)(H), bool (*Valid)(H) = &not_null<H>> class COwner {
public:
    COwner() = default;
    explicit COwner(H handle) : handle_(handle) {}
    ~COwner() { reset(); }
    COwner(const COwner&) = delete;
    COwner& operator=(const COwner&) = delete;
    COwner(COwner&& other) noexcept : handle_(other.release()) {}
    COwner& operator=(COwner&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    H get() const { return handle_; }
    bool is_valid() const { return Valid(handle_); }
    // Frees the handle held (unless it is the one given) and takes handle; false when freeing
    // failed.
    bool reset(H handle = H()) {
        bool freed = true;
        if (Valid(handle_) && handle != handle_) {
            freed = Close(handle_);
        }
        handle_ = handle;
        return freed;
    }
    // Gives the handle up without freeing it.
    H release() {
        const H handle = handle_;
        handle_ = H();
        return handle;
    }

private:
    H handle_ = H();
};

// A kernel object (event, thread, mutex, file). Win32 answers a failure with null or with
// INVALID_HANDLE_VALUE depending on the call: both mean none.
bool close_handle(void* handle);
bool valid_handle(void* handle);
using CHandle = COwner<void*, &close_handle, &valid_handle>;

} // namespace kernel
