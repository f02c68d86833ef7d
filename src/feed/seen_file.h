#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "feed/seen.h"
#include "files/file_writer.h"

namespace feed {

// The file of what the user has seen for one site, in the folder given: its name says the site
// (so a build for another site keeps a file of its own), and the text inside says it again.
std::wstring seen_file_name(const std::string& site);

// Keeps CSeenTopics in its file. Reading is done once, at the start; writing on a writer thread
// of its own (files::CFileWriter), at most once a second and only after a change. GUI thread.
class CSeenFile {
public:
    enum Load {
        NO_FILE, // the first start ever
        LOADED,
        BAD,        // damaged: a fresh start; the damaged file is kept beside it for a look
        NEWER,      // written by a later version: left as it is, and nothing is kept this run
        OTHER_SITE, // another site's: the same
        UNREADABLE, // there, but it could not be read: the same
        NO_FOLDER,  // nowhere to keep anything
    };

    // folder: where the file is, empty for none. older_name: the file an earlier version kept in
    // that folder for every site, read when this site's file is not there yet. notify: called
    // on the writer's thread after each write, as CFileWriter says. pace: of the writes.
    CSeenFile(std::wstring folder, std::string site, std::wstring older_name, std::function<void()> notify,
              files::RWritePace pace = files::RWritePace());

    // Replaces topics() with what the file holds, or with nothing. A file that is missing or
    // damaged gives way to a whole temporary left by a write that could not finish. A file that
    // cannot be read is tried again for up to patience_ms.
    Load load(std::uint32_t patience_ms = 10000);
    // Change these through their own calls; save() sees the change.
    CSeenTopics& topics() { return topics_; }
    const CSeenTopics& topics() const { return topics_; }
    // Hands what changed since the last call to the writer. Never writes anything after a load
    // that keeps nothing.
    void save();
    // At the session's end: what is pending, written now, waited for at most wait_ms.
    bool flush(std::uint32_t wait_ms);
    // At exit: the same, and the writer ends.
    void finish(std::uint32_t wait_ms);

    bool keeping() const { return writer_ != nullptr; }
    // The last write failed; it is tried again.
    bool failing() const { return writer_ != nullptr && writer_->failing(); }
    const std::wstring& path() const { return path_; }
    // Where a damaged file goes: beside it, one copy.
    std::wstring damaged_path() const;

private:
    std::wstring path_;  // empty: no folder
    std::wstring older_; // an earlier version's file, or empty
    std::string site_;
    std::function<void()> notify_;
    files::RWritePace pace_;
    CSeenTopics topics_;
    std::string handed_;                         // the text last handed to the writer, or read
    std::unique_ptr<files::CFileWriter> writer_; // none while nothing may be written
};

} // namespace feed
