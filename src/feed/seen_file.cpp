#include "feed/seen_file.h"

#include <utility>

#include <windows.h>

#include "files/small_file.h"

namespace feed {

namespace {

const wchar_t PREFIX[] = L"przeczytane-";
const wchar_t EXTENSION[] = L".txt";
const size_t MAX_SITE_NAME = 80;

// GOOD with the text read, or why not.
ESeenText read_state(const std::wstring& path, const std::string& site, std::uint32_t patience_ms,
                     files::ReadOutcome& outcome, CSeenTopics& out, std::string& text) {
    outcome = files::read_small_file(path, MAX_SEEN_FILE, text, patience_ms);
    return outcome == files::READ_OK ? read_seen_text(text, site, out) : ESeenText::BAD;
}

} // namespace

std::wstring seen_file_name(const std::string& site) {
    std::string name = site;
    for (const char* scheme : {"https://", "http://"}) {
        if (name.compare(0, std::char_traits<char>::length(scheme), scheme) == 0) {
            name.erase(0, std::char_traits<char>::length(scheme));
            break;
        }
    }
    std::wstring out = PREFIX;
    for (const char c : name.substr(0, MAX_SITE_NAME)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '.' || c == '-';
        out += plain ? static_cast<wchar_t>(c) : L'_';
    }
    return out + EXTENSION;
}

CSeenFile::CSeenFile(std::wstring folder, std::string site, std::wstring older_name,
                     std::function<void()> notify, files::RWritePace pace)
    : site_(std::move(site)), notify_(std::move(notify)), pace_(pace) {
    if (!folder.empty()) {
        path_ = folder + L"\\" + seen_file_name(site_);
        older_ = older_name.empty() ? std::wstring() : folder + L"\\" + older_name;
    }
}

std::wstring CSeenFile::damaged_path() const {
    const size_t extension = path_.size() - (sizeof(EXTENSION) / sizeof(wchar_t) - 1);
    return path_.substr(0, extension) + L".uszkodzony" + EXTENSION;
}

CSeenFile::Load CSeenFile::load(std::uint32_t patience_ms) {
    topics_ = CSeenTopics();
    handed_.clear();
    writer_.reset();
    if (path_.empty()) {
        return NO_FOLDER;
    }
    files::ReadOutcome outcome;
    std::string text;
    const ESeenText read = read_state(path_, site_, patience_ms, outcome, topics_, text);
    if (outcome == files::READ_FAILED) {
        return UNREADABLE;
    }
    if (read == ESeenText::NEWER || read == ESeenText::OTHER_SITE) {
        return read == ESeenText::NEWER ? NEWER : OTHER_SITE;
    }
    Load result = LOADED;
    if (read == ESeenText::GOOD) {
        handed_ = text; // nothing to write until something changes
    } else {
        const bool damaged = outcome != files::READ_MISSING;
        if (damaged) {
            // Kept for a look before the fresh file takes its place; one copy, the latest.
            MoveFileExW(path_.c_str(), damaged_path().c_str(), MOVEFILE_REPLACE_EXISTING);
        }
        // A write that could not put its whole temporary in place left the newest state there.
        files::ReadOutcome ignored;
        std::string unused;
        if (read_state(files::temporary_path(path_), site_, 0, ignored, topics_, unused) != ESeenText::GOOD &&
            (damaged || older_.empty() ||
             read_state(older_, site_, patience_ms, ignored, topics_, unused) != ESeenText::GOOD)) {
            topics_ = CSeenTopics();
            result = damaged ? BAD : NO_FILE;
        }
    }
    writer_ = std::make_unique<files::CFileWriter>(path_, notify_, pace_);
    return result;
}

void CSeenFile::save() {
    if (writer_ == nullptr) {
        return;
    }
    std::string text = seen_text(topics_, site_);
    if (text == handed_) {
        return;
    }
    handed_ = text;
    writer_->write(std::move(text));
}

bool CSeenFile::flush(std::uint32_t wait_ms) {
    save();
    return writer_ == nullptr || writer_->flush(wait_ms);
}

void CSeenFile::finish(std::uint32_t wait_ms) {
    save();
    if (writer_ != nullptr) {
        writer_->finish(wait_ms);
    }
}

} // namespace feed
