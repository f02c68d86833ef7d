#include "xml/parse_xml.h"

#include <cstring>

#include "string/convert.h"

namespace xml {

namespace {

bool is_text(const pugi::xml_node& node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// The first child with this name, of whatever kind.
pugi::xml_node first_named(const pugi::xml_node& parent, const char* name) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (std::strcmp(child.name(), name) == 0) {
            return child;
        }
    }
    return pugi::xml_node();
}

pugi::xml_node first_element_named(const pugi::xml_node& parent, const char* name) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && std::strcmp(child.name(), name) == 0) {
            return child;
        }
    }
    return pugi::xml_node();
}

pugi::xml_node next_element_named(const pugi::xml_node& node, const char* name) {
    for (pugi::xml_node next = node.next_sibling(); next; next = next.next_sibling()) {
        if (next.type() == pugi::node_element && std::strcmp(next.name(), name) == 0) {
            return next;
        }
    }
    return pugi::xml_node();
}

void read_text(const char* utf8, wide_string& out) {
    if (utf8 == nullptr || *utf8 == '\0' || !string::from_utf8(string::weak_string<char>(utf8), out)) {
        out.clear();
    }
}

// An element's text is its first child's, and only when that child is text: a comment or
// an element first leaves it empty.
void read_element_text(const pugi::xml_node& element, wide_string& out) {
    pugi::xml_node first = element.first_child();
    read_text(first && is_text(first) ? first.value() : nullptr, out);
}

void read_attribute_text(const pugi::xml_node& element, const char* name, wide_string& out) {
    pugi::xml_attribute attribute = element.attribute(name);
    read_text(attribute ? attribute.value() : nullptr, out);
}

// Whole-text decimal; a missing attribute or trailing characters keep the default.
void read_int(const pugi::xml_node& element, const char* name, std::int32_t& out) {
    pugi::xml_attribute attribute = element.attribute(name);
    if (!attribute) {
        return;
    }
    wide_string text;
    read_text(attribute.value(), text);
    std::int32_t value = 0;
    if (string::weak_string<wchar_t>(text).to_int(value)) {
        out = value;
    }
}

void read_flag(const pugi::xml_node& element, const char* name, bool& out) {
    std::int32_t value = 0;
    read_int(element, name, value);
    out = value == 1;
}

} // namespace

void swap(RForumFeed& a, RForumFeed& b) {
    a.Topics.swap(b.Topics);
    // The two texts are short: exchanging them by copy costs little.
    wide_string text(a.InformationText);
    a.InformationText = b.InformationText;
    b.InformationText = text;
    wide_string update(a.InformationUpdateDT);
    a.InformationUpdateDT = b.InformationUpdateDT;
    b.InformationUpdateDT = update;
}

bool CParseXml::parse(const char* text) {
    if (text == nullptr) {
        return false;
    }
    // Comments stay nodes (a comment before a title's text empties the title), as does the
    // declaration, which tells a declaration-only document from an empty one.
    const unsigned options = pugi::parse_default | pugi::parse_comments | pugi::parse_declaration;
    pugi::xml_parse_result result =
        document_.load_buffer(text, std::strlen(text), options, pugi::encoding_auto);
    if (!result) {
        const bool has_nodes = result.status == pugi::status_no_document_element && document_.first_child();
        if (!has_nodes) {
            return false;
        }
    }

    // A parser normally serves one document; a second parse replaces, never accumulates.
    docs_.clear();
    feed_.Topics.clear();
    has_forum_ = false;
    pugi::xml_node root;
    for (pugi::xml_node child = document_.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            root = child;
            break;
        }
    }
    read_information(root);
    if (root) {
        read_topics(root);
        read_docs(root);
    }
    return true;
}

void CParseXml::read_information(const pugi::xml_node& root) {
    pugi::xml_node information = root ? first_named(root, "Information") : pugi::xml_node();
    if (information.type() != pugi::node_element) {
        feed_.InformationText.clear();
        feed_.InformationUpdateDT.clear();
        return;
    }
    read_element_text(information, feed_.InformationText);
    read_attribute_text(information, "UpdateDT", feed_.InformationUpdateDT);
}

void CParseXml::read_topics(const pugi::xml_node& root) {
    pugi::xml_node container = first_named(first_named(root, "Forum"), "TopicContainer");
    if (container.type() != pugi::node_element) {
        return;
    }
    has_forum_ = true;
    // Records hold kilobytes each and copy rather than move: sized once and built in place, the
    // list never copies them as it grows.
    size_t count = 0;
    for (pugi::xml_node node = first_element_named(container, "Topic"); node && count < MAX_TOPICS;
         node = next_element_named(node, "Topic")) {
        ++count;
    }
    feed_.Topics.reserve(count);
    for (pugi::xml_node node = first_element_named(container, "Topic");
         node && feed_.Topics.size() < MAX_TOPICS; node = next_element_named(node, "Topic")) {
        feed_.Topics.emplace_back();
        RTopic& topic = feed_.Topics.back();
        read_int(node, "Id", topic.Id);
        read_int(node, "ParentId", topic.ParentId);
        read_int(node, "AccessId", topic.AccessId);
        read_int(node, "PostCount", topic.PostCount);
        read_int(node, "CreateUserId", topic.CreateUserId);
        read_int(node, "LastUserId", topic.LastUserId);
        read_int(node, "OrderKey", topic.OrderKey);
        read_attribute_text(node, "CreateDT", topic.CreateDT);
        read_attribute_text(node, "UpdateDT", topic.UpdateDT);
        read_int(node, "LastPageNo", topic.LastPageNo);
        read_flag(node, "IsOpen", topic.IsOpen);
        read_flag(node, "Visited", topic.Visited);
        pugi::xml_node title = first_element_named(node, "Title");
        if (title) {
            read_element_text(title, topic.Title);
        }
    }
}

void CParseXml::read_docs(const pugi::xml_node& root) {
    pugi::xml_node container = first_named(first_named(root, "Dokumentacja"), "Container");
    if (container.type() != pugi::node_element) {
        return;
    }
    // As with topics: sized once and built in place, so the entries are never copied.
    size_t count = 0;
    for (pugi::xml_node node = first_element_named(container, "SingleDoc"); node && count < MAX_DOCS;
         node = next_element_named(node, "SingleDoc")) {
        ++count;
    }
    docs_.reserve(docs_.size() + count);
    for (pugi::xml_node node = first_element_named(container, "SingleDoc"); node && docs_.size() < MAX_DOCS;
         node = next_element_named(node, "SingleDoc")) {
        docs_.emplace_back();
        RSingleDoc& doc = docs_.back();
        read_int(node, "Id", doc.Id);
        read_int(node, "GroupId", doc.GroupId);
        pugi::xml_node title = first_element_named(node, "Title");
        if (title) {
            read_element_text(title, doc.Title);
        }
        pugi::xml_node full_title = first_element_named(node, "FullTitle");
        if (full_title) {
            read_element_text(full_title, doc.FullTitle);
            read_int(full_title, "Id", doc.FullTitleId);
        }
        pugi::xml_node description = first_element_named(node, "ShortDescription");
        if (description) {
            read_element_text(description, doc.ShortDescription);
            read_int(description, "Id", doc.ShortDescriptionId);
        }
    }
}

} // namespace xml
