#include "files/small_file.h"

#include <algorithm>

#include "files/file.h"
#include "kernel/owner.h"

#include <windows.h>

#include <shlobj.h>

namespace files {

namespace {

bool free_task_memory(wchar_t* text) {
    CoTaskMemFree(text);
    return true;
}
using CTaskText = kernel::COwner<wchar_t*, &free_task_memory>;

// One rename: the file is the old one or the new one, never neither (ReplaceFileW, in some of its
// failures, leaves the old file gone or under another name).
bool put_in_place(const std::wstring& temporary, const std::wstring& path) {
    return MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
           FALSE;
}

bool write_temporary(const std::wstring& temporary, const std::string& bytes) {
    CFile file;
    if (!file.create(temporary.c_str(), mode_write, true)) {
        return false;
    }
    const std::int64_t size = static_cast<std::int64_t>(bytes.size());
    const bool written = size == 0 || file.write(bytes.data(), size) == size;
    // The rename may reach the disk before the bytes do unless they are flushed first.
    const bool flushed = written && file.flush();
    return file.close() && flushed;
}

ReadOutcome read_once(const std::wstring& path, std::int64_t max_bytes, std::string& out) {
    out.clear();
    CFile file;
    if (!file.open(path.c_str(), mode_read | share_read, false)) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? READ_MISSING : READ_FAILED;
    }
    const std::int64_t size = file.size();
    if (size < 0) {
        return READ_FAILED;
    }
    if (size > max_bytes) {
        return READ_TOO_BIG;
    }
    out.resize(static_cast<size_t>(size));
    std::int64_t done = 0;
    if (!file.read(&out[0], size, &done)) {
        out.clear();
        return READ_FAILED;
    }
    out.resize(static_cast<size_t>(done)); // it may have shrunk meanwhile
    return READ_OK;
}

} // namespace

ReadOutcome read_small_file(const std::wstring& path, std::int64_t max_bytes, std::string& out,
                            std::uint32_t patience_ms) {
    const ULONGLONG until = GetTickCount64() + patience_ms;
    DWORD wait_ms = 50;
    for (;;) {
        const ReadOutcome outcome = read_once(path, max_bytes, out);
        const ULONGLONG now = GetTickCount64();
        if (outcome != READ_FAILED || now >= until) {
            return outcome;
        }
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(wait_ms, until - now)));
        wait_ms = std::min<DWORD>(wait_ms * 2, 2000);
    }
}

std::wstring temporary_path(const std::wstring& path) {
    return path + L".tmp";
}

bool write_file_atomically(const std::wstring& path, const std::string& bytes,
                           const BeforeReplace& before_replace) {
    const std::wstring temporary = temporary_path(path);
    if (!write_temporary(temporary, bytes)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return (!before_replace || before_replace(temporary)) && put_in_place(temporary, path);
}

bool local_app_folder(std::wstring& out) {
    out.clear();
    wchar_t* found = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &found);
    const CTaskText owned(found); // freed whatever the result, as the call asks
    if (FAILED(result) || found == nullptr) {
        return false;
    }
    const std::wstring folder = std::wstring(found) + L"\\Pelikant";
    CreateDirectoryW(folder.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    out = folder;
    return true;
}

} // namespace files
