#pragma once

#include "files/file.h"

#include <cstdint>

namespace files {

// A CFile behind two 2048-byte pages, so byte-by-byte reading and writing costs one Win32 call per
// page. Bit 11 of a position chooses its page, so two neighbouring regions can be used in turn
// without reloading. The file is opened without sharing, since others would not see the pages.
// Positions never go beyond the end; writing at the end grows the file.
class CFastFile : public IFile {
public:
    enum : std::int32_t { page_size = 2048 };

    CFastFile() = default;
    // Writes back dirty pages; their failure can only be seen by calling close() first.
    ~CFastFile() override { close(); }
    CFastFile(const CFastFile&) = delete;
    CFastFile& operator=(const CFastFile&) = delete;

    // The pages need reading even for writes, so read access is always asked for; reads and writes
    // still fail unless `mode` allows them.
    bool create(const string::weak_string<char>& name, int mode, bool replace) override;
    bool open(const string::weak_string<char>& name, int mode, bool create_missing) override;
    bool close() override;
    bool is_open() const override { return position_ != -1; }
    std::int64_t size() override { return is_open() ? size_ : -1; }
    bool truncate() override { return is_open() && set_size(position_); }
    bool set_size(std::int64_t n) override;
    // Only targets from 0 to size() are accepted; no file access.
    bool seek_to(std::int64_t offset, std::int64_t* new_position, int origin) override;
    bool seek(std::int64_t offset, int origin) override { return seek_to(offset, nullptr, origin); }
    std::int64_t tell() override { return position_; }
    bool flush() override;
    bool read_byte(char* out) override;
    bool read_append(std::int64_t count, memory::SuperChunkedMemory<char>& out) override;
    // Fills pages only: a failure to store them shows in flush() or close().
    std::int64_t write(const void* buffer, std::int64_t count) override;
    bool read_last_line(string::super_string<char>& out) override { return priv::read_last_line(*this, out); }
    bool read_line(string::super_string<char>& out) override { return priv::read_line(*this, out); }

    // The file under the pages; what it holds lags behind until flush().
    const CFile& file() const { return file_; }

private:
    struct RPage {
        std::int64_t offset = -1; // a multiple of page_size; -1 when the page holds nothing
        std::int32_t valid = 0;
        bool dirty = false;
        char data[page_size];
    };

    bool opened(bool ok, int mode);
    RPage& page_of(std::int64_t position) { return pages_[(position / page_size) % 2]; }
    // The page holding the current position, loaded (after writing back what it held) when needed;
    // null when that failed.
    RPage* load();
    bool write_back(RPage& page);
    void forget_pages();

    CFile file_;
    std::int64_t position_ = -1;
    std::int64_t size_ = 0;
    RPage pages_[2];
    int access_ = 0;
};

} // namespace files
