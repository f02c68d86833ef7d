#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace files {

// What read_small_file found.
enum ReadOutcome {
    READ_OK,
    READ_MISSING, // no such file, or no such folder
    READ_TOO_BIG, // larger than the cap: none of it was read
    READ_FAILED,  // there, but it could not be opened or read
};

// Reads the whole file into out (emptied first) when it holds at most max_bytes. A file that is
// there but cannot be read (held by another program, a network folder not ready yet) is tried
// again, with growing waits, for up to patience_ms.
ReadOutcome read_small_file(const std::wstring& path, std::int64_t max_bytes, std::string& out,
                            std::uint32_t patience_ms = 0);

// Called with the temporary's path once it holds the new bytes on disk, before it takes the file's
// place; false abandons the write as a crash there would. Lets a test stop a write half-way.
using BeforeReplace = std::function<bool(const std::wstring& temporary)>;

// Where write_file_atomically puts the new bytes before they take the file's place.
std::wstring temporary_path(const std::wstring& path);

// Puts bytes in the file at path so that, whatever happens meanwhile, the file is either the old one
// whole or the new one whole: they go to the temporary beside it, reach the disk, and then take its
// place in one rename. False when any step failed. A temporary that could not be written whole is
// deleted; one that is whole but could not take the file's place stays, the newest whole copy.
bool write_file_atomically(const std::wstring& path, const std::string& bytes,
                           const BeforeReplace& before_replace = nullptr);

// %LOCALAPPDATA%\Pelikant, made when missing. False when it is not there and could not be made.
bool local_app_folder(std::wstring& out);

} // namespace files
