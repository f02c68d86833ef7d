#pragma once
#include <cstdint>
#include <vector>

#include <pugixml.hpp>

#include "string/basic_string.h"

namespace xml {

using string::wide_string;

// One forum topic of the feed. Absent or malformed values keep these defaults.
struct RTopic {
    std::int32_t Id = -1;
    std::int32_t ParentId = -1;
    std::int32_t AccessId = -1;
    std::int32_t PostCount = 0;
    std::int32_t CreateUserId = -1;
    std::int32_t LastUserId = -1;
    std::int32_t OrderKey = 0;
    std::int32_t LastPageNo = -1;
    bool IsOpen = false;
    bool Visited = false;
    wide_string CreateDT;
    wide_string UpdateDT; // kept as the site sends it; compared as text
    wide_string Title;
};

// One documentation entry.
struct RSingleDoc {
    std::int32_t Id = -1;
    std::int32_t GroupId = -1;
    wide_string Title;
    std::int32_t FullTitleId = -1;
    wide_string FullTitle;
    std::int32_t ShortDescriptionId = -1;
    wide_string ShortDescription;
};

struct RForumFeed {
    wide_string InformationText;
    wide_string InformationUpdateDT;
    std::vector<RTopic> Topics;
};

// Exchanges two feeds without copying topics: a feed may hold a thousand of them, kilobytes each.
void swap(RForumFeed& a, RForumFeed& b);

// A topic record carries three strings with inline storage (kilobytes each): a hostile feed
// of millions of empty topics would exhaust memory. A forum front page lists dozens.
const size_t MAX_TOPICS = 1000;
// The shipped index has 788 entries.
const size_t MAX_DOCS = 20000;

// Reads the program's XML documents (the forum feed and the documentation index) into plain
// records. One parser serves one document.
class CParseXml {
public:
    CParseXml() = default;
    virtual ~CParseXml() = default;
    CParseXml(const CParseXml&) = delete;
    CParseXml& operator=(const CParseXml&) = delete;

    // text: the whole document, zero-terminated; the encoding comes from a byte-order mark or
    // the declaration. False for a malformed or empty text, and the records stay as they were.
    bool parse(const char* text);

    const RForumFeed& feed() const { return feed_; }
    // True when the document has the forum's topic container (with or without topics): a
    // well-formed page of another kind, such as a server's HTML error page, is no feed.
    bool has_forum() const { return has_forum_; }
    // Hands the feed over to whoever keeps it, leaving other's feed here.
    void swap_feed(RForumFeed& other) { swap(feed_, other); }
    const std::vector<RSingleDoc>& docs() const { return docs_; }

private:
    void read_information(const pugi::xml_node& root);
    void read_topics(const pugi::xml_node& root);
    void read_docs(const pugi::xml_node& root);

    pugi::xml_document document_;
    RForumFeed feed_;
    bool has_forum_ = false;
    std::vector<RSingleDoc> docs_;
};

} // namespace xml
