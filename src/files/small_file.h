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

// Reads the whole file into out (emptied first) when it holds at most max_bytes.
ReadOutcome read_small_file(const std::wstring& path, std::int64_t max_bytes, std::string& out);

// Called with the temporary's path once it holds the new bytes on disk, before it takes the file's
// place; false abandons the write as a crash there would. Lets a test stop a write half-way.
using BeforeReplace = std::function<bool(const std::wstring& temporary)>;

// Puts bytes in the file at path so that, whatever happens meanwhile, the file is either the old one
// whole or the new one whole: they go to a temporary beside it (path + ".tmp"), reach the disk, and
// then take its place. False when any step failed; the temporary never stays behind.
bool write_file_atomically(const std::wstring& path, const std::string& bytes,
                           const BeforeReplace& before_replace = nullptr);

// %LOCALAPPDATA%\Pelikant, made when missing. False when it is not there and could not be made.
bool local_app_folder(std::wstring& out);

} // namespace files
