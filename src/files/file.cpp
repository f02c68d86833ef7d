#include "files/file.h"

#include <windows.h>

#include <algorithm>
#include <limits>

namespace files {

namespace priv {

bool read_line(IFile& file, string::super_string<char>& out) {
    // Bytes go to `out` in pieces rather than one append per byte.
    char piece[256];
    int used = 0;
    bool any = false;
    char c;
    while (file.read_byte(&c)) {
        any = true;
        if (c == '\n') {
            break;
        }
        if (c == '\r') {
            continue;
        }
        if (used == static_cast<int>(sizeof(piece))) {
            out.append(used, piece);
            used = 0;
        }
        piece[used++] = c;
    }
    out.append(used, piece);
    return any;
}

bool read_last_line(IFile& file, string::super_string<char>& out) {
    std::int64_t position = file.size();
    if (position <= 0) {
        return false;
    }
    // Filled from its end, so the bytes read backwards stay in file order.
    char piece[256];
    const int whole = static_cast<int>(sizeof(piece));
    int room = whole;
    bool any = false;
    std::int64_t line_start = position;
    char c;
    while (position > 0) {
        --position;
        if (!file.seek(position, from_start) || !file.read_byte(&c)) {
            break;
        }
        any = true;
        if (c == '\n') {
            break;
        }
        line_start = position;
        if (c == '\r') {
            continue;
        }
        if (room == 0) {
            out.prepend(whole, piece);
            room = whole;
        }
        piece[--room] = c;
    }
    out.prepend(whole - room, piece + room);
    file.seek(line_start, from_start);
    return any;
}

} // namespace priv

namespace {

unsigned long access_of(int mode) {
    return ((mode & mode_read) ? GENERIC_READ : 0) | ((mode & mode_write) ? GENERIC_WRITE : 0);
}

unsigned long share_of(int mode) {
    return ((mode & share_read) ? FILE_SHARE_READ : 0) | ((mode & share_write) ? FILE_SHARE_WRITE : 0);
}

} // namespace

bool CFile::make(const string::weak_string<char>& name, int mode, unsigned long disposition) {
    close();
    const char* path = name.c_str();
    if (!path) {
        return false;
    }
    handle_.reset(CreateFileA(path, access_of(mode), share_of(mode), nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return is_open();
}

bool CFile::make(const wchar_t* name, int mode, unsigned long disposition) {
    close();
    if (!name) {
        return false;
    }
    handle_.reset(CreateFileW(name, access_of(mode), share_of(mode), nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return is_open();
}

bool CFile::create(const string::weak_string<char>& name, int mode, bool replace) {
    return make(name, mode, replace ? CREATE_ALWAYS : CREATE_NEW);
}

bool CFile::open(const string::weak_string<char>& name, int mode, bool create_missing) {
    return make(name, mode, create_missing ? OPEN_ALWAYS : OPEN_EXISTING);
}

bool CFile::create(const wchar_t* name, int mode, bool replace) {
    return make(name, mode, replace ? CREATE_ALWAYS : CREATE_NEW);
}

bool CFile::open(const wchar_t* name, int mode, bool create_missing) {
    return make(name, mode, create_missing ? OPEN_ALWAYS : OPEN_EXISTING);
}

bool CFile::close() {
    return handle_.reset();
}

std::int64_t CFile::size() {
    LARGE_INTEGER size;
    if (!is_open() || !GetFileSizeEx(handle_.get(), &size)) {
        return -1;
    }
    return size.QuadPart;
}

bool CFile::truncate() {
    return is_open() && SetEndOfFile(handle_.get()) != FALSE;
}

bool CFile::set_size(std::int64_t n) {
    std::int64_t old = tell();
    if (old < 0) {
        return false;
    }
    if (seek(n, from_start) && truncate()) {
        return true;
    }
    seek(old, from_start);
    return false;
}

bool CFile::seek_to(std::int64_t offset, std::int64_t* new_position, int origin) {
    DWORD method = origin == from_start ? FILE_BEGIN : origin == from_end ? FILE_END : FILE_CURRENT;
    LARGE_INTEGER move;
    move.QuadPart = offset;
    LARGE_INTEGER reached;
    bool ok = is_open() && SetFilePointerEx(handle_.get(), move, &reached, method) != FALSE;
    if (new_position) {
        *new_position = ok ? reached.QuadPart : -1;
    }
    return ok;
}

std::int64_t CFile::tell() {
    std::int64_t position = -1;
    seek_to(0, &position, from_current);
    return position;
}

bool CFile::flush() {
    return is_open() && FlushFileBuffers(handle_.get()) != FALSE;
}

bool CFile::read_byte(char* out) {
    DWORD got = 0;
    return is_open() && ReadFile(handle_.get(), out, 1, &got, nullptr) && got == 1;
}

bool CFile::read(void* buffer, std::int64_t count, std::int64_t* done) {
    *done = 0;
    if (!is_open()) {
        return false;
    }
    char* at = static_cast<char*>(buffer);
    while (*done < count) {
        DWORD want = static_cast<DWORD>(std::min<std::int64_t>(count - *done, 0xFFFFFF));
        DWORD got = 0;
        if (!ReadFile(handle_.get(), at + *done, want, &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            break;
        }
        *done += got;
    }
    return true;
}

bool CFile::read_append(std::int64_t count, memory::SuperChunkedMemory<char>& out) {
    // A sequence cannot hold more than its 32-bit length allows.
    count = std::min<std::int64_t>(count, std::numeric_limits<std::int32_t>::max() - out.length());
    if (count <= 0 || !is_open()) {
        return false;
    }
    std::int64_t done = 0;
    while (done < count) {
        DWORD want = static_cast<DWORD>(std::min<std::int64_t>(count - done, sizeof(buffer_)));
        DWORD got = 0;
        if (!ReadFile(handle_.get(), buffer_, want, &got, nullptr) || got == 0) {
            break;
        }
        out.append(static_cast<std::int32_t>(got), buffer_);
        done += got;
    }
    return done > 0;
}

std::int64_t CFile::write(const void* buffer, std::int64_t count) {
    if (!is_open() || count <= 0) {
        return 0;
    }
    const char* at = static_cast<const char*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        DWORD want = static_cast<DWORD>(std::min<std::int64_t>(count - done, 0xFFFFFF));
        DWORD put = 0;
        if (!WriteFile(handle_.get(), at + done, want, &put, nullptr) || put == 0) {
            break;
        }
        done += put;
    }
    return done;
}

} // namespace files
