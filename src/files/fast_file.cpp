#include "files/fast_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace files {

namespace {
const int access_bits = mode_read | mode_write;
}

bool CFastFile::create(const string::weak_string<char>& name, int mode, bool replace) {
    close();
    return opened(file_.create(name, (mode & access_bits) | mode_read, replace), mode);
}

bool CFastFile::open(const string::weak_string<char>& name, int mode, bool create_missing) {
    close();
    return opened(file_.open(name, (mode & access_bits) | mode_read, create_missing), mode);
}

bool CFastFile::opened(bool ok, int mode) {
    std::int64_t size = ok ? file_.size() : -1;
    if (size < 0) {
        file_.close();
        return false;
    }
    size_ = size;
    position_ = 0;
    access_ = mode & access_bits;
    return true;
}

bool CFastFile::close() {
    if (!is_open()) {
        return true;
    }
    bool ok = write_back(pages_[0]);
    ok = write_back(pages_[1]) && ok;
    // Pages must not outlive their file, whether or not they could be written.
    forget_pages();
    position_ = -1;
    size_ = 0;
    access_ = 0;
    return file_.close() && ok;
}

void CFastFile::forget_pages() {
    for (RPage& page : pages_) {
        page.offset = -1;
        page.valid = 0;
        page.dirty = false;
    }
}

bool CFastFile::set_size(std::int64_t n) {
    if (!is_open() || !(access_ & mode_write) || n < 0 || !file_.set_size(n)) {
        return false;
    }
    for (RPage& page : pages_) {
        if (page.offset < 0) {
            continue;
        }
        if (page.offset >= n) {
            page.offset = -1;
            page.valid = 0;
            page.dirty = false;
            continue;
        }
        std::int32_t keep = static_cast<std::int32_t>(std::min<std::int64_t>(page_size, n - page.offset));
        if (keep > page.valid) {
            // The page held the old end: what the file grew by is zero, not what the page held
            // before an earlier cut.
            std::memset(page.data + page.valid, 0, keep - page.valid);
        }
        page.valid = keep;
    }
    size_ = n;
    position_ = n;
    return true;
}

bool CFastFile::seek_to(std::int64_t offset, std::int64_t* new_position, int origin) {
    std::int64_t base = origin == from_start ? 0 : origin == from_end ? size_ : position_;
    std::int64_t target = -1;
    bool ok = is_open() && !(origin == from_end && offset > 0) &&
              !__builtin_add_overflow(base, offset, &target) && target >= 0 && target <= size_;
    if (ok) {
        position_ = target;
    }
    if (new_position) {
        *new_position = ok ? target : -1;
    }
    return ok;
}

bool CFastFile::flush() {
    if (!is_open()) {
        return false;
    }
    if (!(access_ & mode_write)) {
        return true; // nothing can be dirty
    }
    bool ok = write_back(pages_[0]);
    ok = write_back(pages_[1]) && ok;
    return file_.flush() && ok;
}

bool CFastFile::write_back(RPage& page) {
    if (!page.dirty || page.offset < 0) {
        return true;
    }
    std::int64_t count = std::min<std::int64_t>(page.valid, std::max<std::int64_t>(size_ - page.offset, 0));
    if (count > 0 && (!file_.seek(page.offset, from_start) || file_.write(page.data, count) != count)) {
        return false; // still dirty, so it is tried again
    }
    page.dirty = false;
    return true;
}

CFastFile::RPage* CFastFile::load() {
    std::int64_t offset = position_ - position_ % page_size;
    RPage& page = page_of(position_);
    if (page.offset == offset) {
        return &page;
    }
    // A page that cannot be written back keeps its bytes and its place.
    if (!write_back(page)) {
        return nullptr;
    }
    page.offset = -1;
    page.valid = 0;
    page.dirty = false;
    std::int64_t got = 0;
    if (!file_.seek(offset, from_start) || !file_.read(page.data, page_size, &got)) {
        return nullptr;
    }
    page.offset = offset;
    // Never more than the file as seen here, whatever lies on the disk.
    page.valid = static_cast<std::int32_t>(std::min<std::int64_t>(got, size_ - offset));
    return &page;
}

bool CFastFile::read_byte(char* out) {
    if (!is_open() || !(access_ & mode_read)) {
        return false;
    }
    RPage* page = load();
    if (!page || position_ - page->offset >= page->valid) {
        return false;
    }
    *out = page->data[position_ - page->offset];
    ++position_;
    return true;
}

bool CFastFile::read_append(std::int64_t count, memory::SuperChunkedMemory<char>& out) {
    // A sequence cannot hold more than its 32-bit length allows.
    count = std::min<std::int64_t>(count, std::numeric_limits<std::int32_t>::max() - out.length());
    if (count <= 0 || !is_open() || !(access_ & mode_read)) {
        return false;
    }
    std::int64_t done = 0;
    while (done < count) {
        RPage* page = load();
        if (!page) {
            break;
        }
        std::int64_t at = position_ - page->offset;
        std::int64_t piece = std::min<std::int64_t>(page->valid - at, count - done);
        if (piece <= 0) {
            break;
        }
        out.append(static_cast<std::int32_t>(piece), page->data + at);
        position_ += piece;
        done += piece;
    }
    return done > 0;
}

std::int64_t CFastFile::write(const void* buffer, std::int64_t count) {
    if (!is_open() || !(access_ & mode_write) || count <= 0) {
        return 0;
    }
    const char* from = static_cast<const char*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        RPage* page = load();
        if (!page) {
            break;
        }
        std::int32_t at = static_cast<std::int32_t>(position_ - page->offset);
        std::int32_t piece = static_cast<std::int32_t>(std::min<std::int64_t>(page_size - at, count - done));
        if (at > page->valid) {
            std::memset(page->data + page->valid, 0, at - page->valid); // the file came up short
        }
        std::memcpy(page->data + at, from + done, piece);
        page->valid = std::max(page->valid, at + piece);
        page->dirty = true;
        position_ += piece;
        size_ = std::max(size_, position_);
        done += piece;
    }
    return done;
}

} // namespace files
