#pragma once

#include "kernel/owner.h"
#include "memory/chunked.h"
#include "string/basic_string.h"
#include "string/weak_string.h"

#include <cstdint>

namespace files {

// Bits of the `mode` of create() and open().
enum : int {
    mode_read = 1,
    mode_write = 2,
    share_read = 4,
    share_write = 8,
};

// Origins of seek() and seek_to(); any other value counts as from_current.
enum : int {
    from_start = 0,
    from_current = 1,
    from_end = 2,
};

// A file with 64-bit positions. Failures are reported by the results only: false, 0 bytes or -1.
class IFile {
public:
    virtual ~IFile() = default;

    // replace: an existing file is emptied; otherwise an existing file makes create() fail.
    virtual bool create(const string::weak_string<char>& name, int mode, bool replace) = 0;
    // create_missing: a missing file is made empty; otherwise a missing file makes open() fail.
    virtual bool open(const string::weak_string<char>& name, int mode, bool create_missing) = 0;
    // True when everything written reached the file and the handle was closed (or nothing was open).
    virtual bool close() = 0;
    virtual bool is_open() const = 0;
    // -1 when not open.
    virtual std::int64_t size() = 0;
    // Ends the file at the current position.
    virtual bool truncate() = 0;
    // Cuts or grows (with zero bytes) the file to n bytes; the position becomes n.
    virtual bool set_size(std::int64_t n) = 0;
    // Stores the new position, or -1 on failure, in *new_position (which may be null).
    virtual bool seek_to(std::int64_t offset, std::int64_t* new_position, int origin) = 0;
    virtual bool seek(std::int64_t offset, int origin) = 0;
    // -1 when not open.
    virtual std::int64_t tell() = 0;
    virtual bool flush() = 0;
    virtual bool read_byte(char* out) = 0;
    // Appends up to `count` bytes; true when at least one byte was read.
    virtual bool read_append(std::int64_t count, memory::SuperChunkedMemory<char>& out) = 0;
    // Returns the number of bytes written, 0 on failure.
    virtual std::int64_t write(const void* buffer, std::int64_t count) = 0;
    // Prepends to `out` the bytes after the file's last LF, CR dropped (a file ending in LF gives an
    // empty line); leaves the position at the start of that line. True when a byte was read.
    virtual bool read_last_line(string::super_string<char>& out) = 0;
    // Appends to `out` the bytes up to the next LF or the end of the file, CR dropped, and moves past
    // the LF. True when a byte was read, so a final LF does not make one more empty line.
    virtual bool read_line(string::super_string<char>& out) = 0;
};

namespace priv {

// The line readers shared by every IFile, written against read_byte(), seek() and size().
bool read_line(IFile& file, string::super_string<char>& out);
bool read_last_line(IFile& file, string::super_string<char>& out);

} // namespace priv

// A Win32 file without any buffering of its own.
class CFile : public IFile {
public:
    CFile() = default;
    ~CFile() override = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    bool create(const string::weak_string<char>& name, int mode, bool replace) override;
    bool open(const string::weak_string<char>& name, int mode, bool create_missing) override;
    bool close() override;
    bool is_open() const override { return handle_.is_valid(); }
    std::int64_t size() override;
    bool truncate() override;
    bool set_size(std::int64_t n) override;
    bool seek_to(std::int64_t offset, std::int64_t* new_position, int origin) override;
    bool seek(std::int64_t offset, int origin) override { return seek_to(offset, nullptr, origin); }
    std::int64_t tell() override;
    bool flush() override;
    bool read_byte(char* out) override;
    bool read_append(std::int64_t count, memory::SuperChunkedMemory<char>& out) override;
    std::int64_t write(const void* buffer, std::int64_t count) override;
    bool read_last_line(string::super_string<char>& out) override { return priv::read_last_line(*this, out); }
    bool read_line(string::super_string<char>& out) override { return priv::read_line(*this, out); }

    // The same with a UTF-16 name, for paths the system gives (a user's folder may have any letters).
    bool create(const wchar_t* name, int mode, bool replace);
    bool open(const wchar_t* name, int mode, bool create_missing);
    // Reads up to `count` bytes into `buffer`, stopping early only at the end of the file; *done gets
    // the bytes read. False when a read failed.
    bool read(void* buffer, std::int64_t count, std::int64_t* done);
    // The Win32 handle, still owned by this object.
    void* handle() const { return handle_.get(); }

private:
    bool make(const string::weak_string<char>& name, int mode, unsigned long disposition);
    bool make(const wchar_t* name, int mode, unsigned long disposition);

    kernel::CHandle handle_;
    char buffer_[4096];
};

} // namespace files
