// Fuzzes the readers of outside input (the XML reader, the tokenizer, the web-search escaping, the
// file of what was seen) with mutants of a seed corpus, and checks what each promises, not only
// that it survives.
// Deterministic: for one seed and corpus, the n-th input of a target is always the same; the
// time given decides only how many run. Environment: PELIKANT_FUZZ_SEED (default 1),
// PELIKANT_FUZZ_SECONDS (all targets together, default 30), PELIKANT_FUZZ_RUNS (inputs
// per target, default no limit), PELIKANT_FUZZ_CORPUS (seed folder), PELIKANT_FUZZ_OUT (folder
// for a failing input).
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "feed/seen.h"
#include "string/convert.h"
#include "search/catalogue.h"
#include "xml/parse_xml.h"
#include "search/tokenize.h"

using namespace search;
using namespace xml;

namespace {

// ---------------------------------------------------------------------------------------------
// Inputs

class CRandom { // splitmix64: small, and the same sequence on every platform
public:
    explicit CRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(next() % n); }

private:
    std::uint64_t state_;
};

// Markup, entities, byte-order marks, broken and unusual UTF-8, blanks, the documents' names.
// clang-format off
const char* const TOKENS[] = {
    "<", ">", "&", ";", "\"", "'", "=", "/>", "</", "]]>", "<![CDATA[", "<!--", "-->", "<?", "?>",
    "<!DOCTYPE a [<!ENTITY e \"&e;&e;\">]>", "&e;", "&amp;", "&lt;", "&#0;", "&#xFFFF;", "&#xD800;",
    "&#x110000;", "&#99999999999;", "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>",
    "<?xml version=\"1.0\" encoding=\"utf-16\"?>", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", "\xC0\x80",
    "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC5", "\xE2\x80\xA8", "\xC2\xA0", "\xE3\x80\x80", "\xEF\xBC\x91",
    "\xD9\xA3", "\xC4\xB0", "\xE1\xBA\x9E", "\xF0\x9F\x90\xA6", "\xC5\x81\xC3\xB3\x64\xC5\xBA", "\t", "\v",
    "\f", "\r\n", " ", "<Topic Id=\"1\" PostCount=\"2\">", "</Topic>", "<Title>", "</Title>",
    "<SingleDoc Id=\"1\">", "</SingleDoc>", "<FullTitle Id=\"2\">", "<ShortDescription Id=\"3\">",
    "<Forum><TopicContainer>", "<Dokumentacja><Container>", "<Information UpdateDT=\"x\">", " IsOpen=\"1\"",
    " Visited=\"01\"", " LastUserId=\"", "std::vector", "C++", "int32_t"};
// clang-format on

// Numbers beyond 32 bits, signs, blanks, other digits.
// clang-format off
const char* const NUMBERS[] = {
    "2147483647", "2147483648", "-2147483648", "-2147483649", "4294967296", "99999999999999999999999", "-0",
    "+1", " 1", "1 ", "01", "0x10", "1e3", "", "\xEF\xBC\x91", "\xD9\xA3", "\xC2\xA0\x31"};
// clang-format on

// Attribute values and element texts that leave the markup intact.
// clang-format off
const char* const VALUES[] = {
    "2147483648", "-2147483649", "99999999999999999999", " 7", "7 ", "+1", "01", "", "1", "0x1",
    "\xEF\xBC\x91", "\xD9\xA3", "\xC2\xA0\x35", "&#x31;", "&#0;", "&#xFFFF;", "&#xD800;", "&amp;amp;",
    "\xC0\x80", "\xFF\xFE", "\xED\xA0\x80", "\x01\x1B[0m", "\xC5\x81\xC3\xB3\x64\xC5\xBA", "<![CDATA[x]]>",
    "<!--c-->t", "<x/>t", "a\tb\nc"};
// clang-format on

// One, two or four stacked edits of a seed: flips, interesting bytes and tokens, cuts, repeated
// spans (many records, deep nesting), splices of two seeds; or, for half the mutants, only edits
// that mostly keep a document well-formed (numbers beyond 32 bits, a value or a text replaced,
// an element repeated), so that they get past the XML syntax to the records.
std::string mutate(std::string s, const std::vector<std::string>& seeds, CRandom& random, size_t max_size) {
    const bool keep_markup = random.below(2) == 0;
    for (size_t round = size_t(1) << random.below(3); round > 0; --round) {
        const size_t at = random.below(s.size() + 1);
        switch (keep_markup ? 7 + random.below(3) : random.below(11)) {
        case 0:
            if (!s.empty()) {
                s[random.below(s.size())] ^= static_cast<char>(1u << random.below(8));
            }
            break;
        case 1:
            if (!s.empty()) {
                static const char bytes[] = {0, '\x01', '\x7F', '\x80', '\xFF', '<', '&', '"', ' ', '9'};
                s[random.below(s.size())] = bytes[random.below(sizeof(bytes))];
            }
            break;
        case 2:
            s.insert(at, TOKENS[random.below(std::size(TOKENS))]);
            break;
        case 3:
            s.erase(at, 1 + random.below(64));
            break;
        case 4: {
            const std::string span = s.substr(random.below(s.size() + 1), 1 + random.below(128));
            std::string repeated;
            for (size_t times = size_t(1) << random.below(12); times > 0 && repeated.size() < max_size;
                 --times) {
                repeated += span;
            }
            s.insert(at, repeated);
            break;
        }
        case 5: {
            const std::string& other = seeds[random.below(seeds.size())];
            s = s.substr(0, at) + other.substr(random.below(other.size() + 1));
            break;
        }
        case 6:
            s.resize(at);
            break;
        case 7: {
            const size_t digit = s.find_first_of("0123456789", at);
            if (digit != std::string::npos) {
                const size_t end = s.find_first_not_of("0123456789", digit);
                s.replace(digit, end == std::string::npos ? std::string::npos : end - digit,
                          NUMBERS[random.below(std::size(NUMBERS))]);
            }
            break;
        }
        case 8: {
            const bool attribute = random.below(2) == 0;
            const size_t open = attribute ? s.find("=\"", at) : s.find('>', at);
            const size_t from = open == std::string::npos ? open : open + (attribute ? 2 : 1);
            const size_t close = from == std::string::npos ? from : s.find(attribute ? '"' : '<', from);
            if (close != std::string::npos) {
                s.replace(from, close - from, VALUES[random.below(std::size(VALUES))]);
            }
            break;
        }
        case 9: {
            const size_t start = s.find('<', at);
            const size_t name_end = start == std::string::npos ? start : s.find_first_of(" />", start + 1);
            const size_t next = name_end == std::string::npos
                                    ? name_end
                                    : s.find(s.substr(start, name_end - start), name_end);
            if (next != std::string::npos) {
                const std::string element = s.substr(start, next - start);
                std::string repeated;
                for (size_t times = size_t(1) << random.below(11); times > 0 && repeated.size() < max_size;
                     --times) {
                    repeated += element;
                }
                s.insert(next, repeated);
            }
            break;
        }
        default:
            for (size_t n = 1 + random.below(8); n > 0; --n) {
                s.insert(at, 1, static_cast<char>(random.next()));
            }
            break;
        }
        if (s.size() > max_size) {
            s.resize(max_size);
        }
    }
    return s;
}

std::wstring utf16(const char* bytes, size_t length) {
    if (length == 0) {
        return std::wstring();
    }
    const int n = static_cast<int>(length);
    const int size = MultiByteToWideChar(CP_UTF8, 0, bytes, n, nullptr, 0);
    std::wstring out(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size <= 0 || MultiByteToWideChar(CP_UTF8, 0, bytes, n, &out[0], size) != size) {
        return std::wstring();
    }
    return out;
}

std::wstring utf16(const std::string& text) {
    return utf16(text.data(), text.size());
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int n = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size <= 0 ||
        WideCharToMultiByte(CP_UTF8, 0, text.data(), n, &out[0], size, nullptr, nullptr) != size) {
        return std::string();
    }
    return out;
}

// Wide text of an input: an odd first byte takes the rest as raw UTF-16 code units (lone
// surrogates and zeros included), otherwise the whole input is read as UTF-8, as typed text is.
std::wstring wide_of(const std::string& input) {
    if (input.empty() || (input[0] & 1) == 0) {
        return utf16(input.data(), input.size());
    }
    std::wstring out;
    for (size_t i = 1; i + 1 < input.size(); i += 2) {
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(input[i]) |
                                           static_cast<unsigned char>(input[i + 1]) << 8));
    }
    return out;
}

std::wstring w(const wide_string& s) {
    return s.is_empty() ? std::wstring() : std::wstring(s.c_str(), s.length());
}

std::string printable(const std::wstring& s) {
    std::string out;
    char unit[8];
    for (wchar_t c : s.substr(0, 40)) {
        std::snprintf(unit, sizeof(unit), c >= 0x20 && c < 0x7F ? "%c" : "\\x%04X", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

class ITarget {
public:
    virtual ~ITarget() = default;
    // Empty when every promise holds, else what broke.
    virtual std::string check(const std::string& input) = 0;
    virtual std::string figures() const { return std::string(); }
};

// ---------------------------------------------------------------------------------------------
// XML reader. Which records a document yields is for the reader's unit tests to say by example: a
// second reading here would share the reader's rules, right or wrong. What holds whatever the
// rules: the reader survives, keeps to its caps, leaves the records as they were when it refuses
// a text, decides alike from any state, and reads the integers of a document built here from the
// input's quoted values as a plain decimal reading of their bytes says.

const char GOOD_DOCUMENT[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><Pelikant>"
    "<Information UpdateDT=\"2026-12-08 12:00\">Forum</Information><Forum><TopicContainer>"
    "<Topic Id=\"7\" ParentId=\"1\" AccessId=\"0\" PostCount=\"3\" CreateUserId=\"5\" LastUserId=\"6\" "
    "OrderKey=\"2\" CreateDT=\"2026-12-01\" UpdateDT=\"2026-12-08\" LastPageNo=\"1\" IsOpen=\"1\" "
    "Visited=\"0\"><Title>\xC5\x81\x61\xC5\x84\x63uchy &amp; znaki</Title></Topic>"
    "<Topic Id=\"8\"><Title>Drugi</Title></Topic></TopicContainer></Forum><Dokumentacja><Container>"
    "<SingleDoc Id=\"1\" GroupId=\"1\"><Title>C</Title><FullTitle Id=\"2\">C - Dokumentacja</FullTitle>"
    "<ShortDescription Id=\"1093\">Narz\xC4\x99\x64zia</ShortDescription></SingleDoc></Container>"
    "</Dokumentacja></Pelikant>";

// Blanks, an optional sign and ASCII digits, clamped to 32 bits; an empty text is 0, anything
// else keeps the default. Text beyond ASCII is not judged: the runtime's conversion may take more
// blanks and digits than ASCII ones.
std::optional<std::int32_t> decimal(const std::string& text, std::int32_t fallback) {
    if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) > 0x7F; })) {
        return std::nullopt;
    }
    if (text.empty()) {
        return 0;
    }
    size_t i = text.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) {
        return fallback;
    }
    const bool negative = text[i] == '-';
    i += text[i] == '-' || text[i] == '+';
    if (i == text.size() || text.find_first_not_of("0123456789", i) != std::string::npos) {
        return fallback;
    }
    long long value = 0;
    for (; i < text.size(); ++i) {
        value = std::min(value * 10 + (text[i] - '0'), 1LL << 32);
    }
    value = negative ? -value : value;
    return static_cast<std::int32_t>(std::max<long long>(INT32_MIN, std::min<long long>(INT32_MAX, value)));
}

// The value as an attribute carries it: markup and control bytes as references.
std::string attribute_text(const std::string& value) {
    std::string out;
    for (const char c : value) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '<' || c == '&' || c == '"' || byte < 0x20) {
            out += "&#" + std::to_string(byte) + ";";
        } else {
            out += c;
        }
    }
    return out;
}

// The input's quoted values as written, up to a zero byte and at most 40 bytes each; the input's
// start when it quotes none.
std::vector<std::string> quoted_values(const std::string& input) {
    const std::string text = input.substr(0, input.find('\0'));
    std::vector<std::string> values;
    for (size_t at = text.find("=\""); at != std::string::npos; at = text.find("=\"", at + 2)) {
        const size_t end = text.find('"', at + 2);
        values.push_back(text.substr(at + 2, std::min<size_t>(end - (at + 2), 40)));
    }
    if (values.empty()) {
        values.push_back(text.substr(0, 40));
    }
    return values;
}

struct RIntegerField {
    const char* element;
    const char* attribute;
    std::int32_t fallback;
    bool flag; // true when the value is 1
    std::int32_t (*got)(const CParseXml& parser);
};

const RTopic& topic(const CParseXml& p) {
    return p.feed().Topics[0];
}
const RSingleDoc& doc(const CParseXml& p) {
    return p.docs()[0];
}

const RIntegerField INTEGER_FIELDS[] = {
    {"Topic", "Id", -1, false, [](const CParseXml& p) { return topic(p).Id; }},
    {"Topic", "ParentId", -1, false, [](const CParseXml& p) { return topic(p).ParentId; }},
    {"Topic", "AccessId", -1, false, [](const CParseXml& p) { return topic(p).AccessId; }},
    {"Topic", "PostCount", 0, false, [](const CParseXml& p) { return topic(p).PostCount; }},
    {"Topic", "CreateUserId", -1, false, [](const CParseXml& p) { return topic(p).CreateUserId; }},
    {"Topic", "LastUserId", -1, false, [](const CParseXml& p) { return topic(p).LastUserId; }},
    {"Topic", "OrderKey", 0, false, [](const CParseXml& p) { return topic(p).OrderKey; }},
    {"Topic", "LastPageNo", -1, false, [](const CParseXml& p) { return topic(p).LastPageNo; }},
    {"Topic", "IsOpen", 0, true, [](const CParseXml& p) { return std::int32_t(topic(p).IsOpen); }},
    {"Topic", "Visited", 0, true, [](const CParseXml& p) { return std::int32_t(topic(p).Visited); }},
    {"SingleDoc", "Id", -1, false, [](const CParseXml& p) { return doc(p).Id; }},
    {"SingleDoc", "GroupId", -1, false, [](const CParseXml& p) { return doc(p).GroupId; }},
    {"FullTitle", "Id", -1, false, [](const CParseXml& p) { return doc(p).FullTitleId; }},
    {"ShortDescription", "Id", -1, false, [](const CParseXml& p) { return doc(p).ShortDescriptionId; }},
};

// One topic and one entry whose integer attributes take the input's quoted values in turn.
std::string integer_fault(const std::string& input) {
    const std::vector<std::string> quoted = quoted_values(input);
    std::vector<std::string> values;
    std::map<std::string, std::string> attributes;
    for (size_t i = 0; i < std::size(INTEGER_FIELDS); ++i) {
        const RIntegerField& field = INTEGER_FIELDS[i];
        values.push_back(quoted[(i + input.size()) % quoted.size()]);
        attributes[field.element] +=
            std::string(" ") + field.attribute + "=\"" + attribute_text(values[i]) + "\"";
    }
    const std::string document =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><P><Forum><TopicContainer><Topic" + attributes["Topic"] +
        "/></TopicContainer></Forum><Dokumentacja><Container><SingleDoc" + attributes["SingleDoc"] +
        "><FullTitle" + attributes["FullTitle"] + "/><ShortDescription" + attributes["ShortDescription"] +
        "/></SingleDoc></Container></Dokumentacja></P>";
    CParseXml parser;
    if (!parser.parse(document.c_str()) || parser.feed().Topics.size() != 1 || parser.docs().size() != 1) {
        return "a topic and an entry built here did not read: " + document;
    }
    std::string why;
    for (size_t i = 0; i < std::size(INTEGER_FIELDS); ++i) {
        const RIntegerField& field = INTEGER_FIELDS[i];
        const std::string& value = values[i];
        std::optional<std::int32_t> want = decimal(value, field.fallback);
        if (want && field.flag) {
            want = *want == 1;
        }
        const std::int32_t got = field.got(parser);
        if (want && *want != got) {
            why += std::string(field.element) + " " + field.attribute + " '" + printable(utf16(value)) +
                   "' gave " + std::to_string(got) + " instead of " + std::to_string(*want) + "; ";
        }
    }
    return why;
}

bool same_topic(const RTopic& a, const RTopic& b) {
    return a.Id == b.Id && a.ParentId == b.ParentId && a.AccessId == b.AccessId &&
           a.PostCount == b.PostCount && a.CreateUserId == b.CreateUserId && a.LastUserId == b.LastUserId &&
           a.OrderKey == b.OrderKey && a.LastPageNo == b.LastPageNo && a.IsOpen == b.IsOpen &&
           a.Visited == b.Visited && w(a.CreateDT) == w(b.CreateDT) && w(a.UpdateDT) == w(b.UpdateDT) &&
           w(a.Title) == w(b.Title);
}

bool same_doc(const RSingleDoc& a, const RSingleDoc& b) {
    return a.Id == b.Id && a.GroupId == b.GroupId && w(a.Title) == w(b.Title) &&
           a.FullTitleId == b.FullTitleId && w(a.FullTitle) == w(b.FullTitle) &&
           a.ShortDescriptionId == b.ShortDescriptionId && w(a.ShortDescription) == w(b.ShortDescription);
}

bool same_records(const CParseXml& a, const CParseXml& b) {
    const RForumFeed& x = a.feed();
    const RForumFeed& y = b.feed();
    return a.has_forum() == b.has_forum() && w(x.InformationText) == w(y.InformationText) &&
           w(x.InformationUpdateDT) == w(y.InformationUpdateDT) &&
           std::equal(x.Topics.begin(), x.Topics.end(), y.Topics.begin(), y.Topics.end(), same_topic) &&
           std::equal(a.docs().begin(), a.docs().end(), b.docs().begin(), b.docs().end(), same_doc);
}

// The parser under test always holds the good document's records when it meets an input; a
// second one, holding whatever the input before left, reads it again. (A parser made afresh for
// each input would spend most of the run allocating records.)
class CXmlTarget : public ITarget {
public:
    CXmlTarget() {
        reference_.parse(GOOD_DOCUMENT);
        parser_.parse(GOOD_DOCUMENT);
    }
    std::string check(const std::string& input) override {
        const char* text = input.c_str();
        const bool parsed = parser_.parse(text);
        ++(parsed ? read_ : refused_);
        if (again_.parse(text) != parsed) {
            return "a second reading decided otherwise";
        }
        if (!parsed) {
            return same_records(parser_, reference_) ? std::string() : "a failed parse changed the records";
        }
        if (parser_.feed().Topics.size() > MAX_TOPICS || parser_.docs().size() > MAX_DOCS) {
            return "more records than the caps allow";
        }
        if (!same_records(parser_, again_)) {
            return "a second reading gave other records";
        }
        std::string why = integer_fault(input);
        if (!parser_.parse(GOOD_DOCUMENT) || !same_records(parser_, reference_)) {
            why += "the good document no longer reads as before";
        }
        return why;
    }
    std::string figures() const override {
        return ", " + std::to_string(read_) + " read, " + std::to_string(refused_) + " refused";
    }

private:
    std::uint64_t read_ = 0;
    std::uint64_t refused_ = 0;
    CParseXml reference_;
    CParseXml parser_;
    CParseXml again_;
};

// ---------------------------------------------------------------------------------------------
// Tokenizer: the words, laid end to end, are the folded text without its blanks, each a maximal
// run of one class.

bool is_blank(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

class CTokenizeTarget : public ITarget {
public:
    std::string check(const std::string& input) override {
        const std::wstring text = wide_of(input);
        const std::vector<std::wstring> words = tokenize(wide_string(string::weak_string<wchar_t>(text)));
        std::wstring folded = text;
        const DWORD length = static_cast<DWORD>(folded.size());
        if (length > 0 && CharLowerBuffW(&folded[0], length) != length) {
            return words.empty() ? std::string() : "words from a text that does not fold";
        }
        for (wchar_t c : folded) {
            const ECharClass k = char_class(c);
            if ((k == ECharClass::space) != is_blank(c) ||
                (k == ECharClass::digit) != (c >= L'0' && c <= L'9')) {
                return "class of " + printable(std::wstring(1, c));
            }
        }
        size_t at = 0;
        ECharClass previous = ECharClass::space;
        for (const std::wstring& word : words) {
            const size_t word_start = folded.find_first_not_of(L" \t\n\v\f\r", at);
            const bool after_blank = word_start != at;
            at = word_start;
            if (word.empty() || at == std::wstring::npos || folded.compare(at, word.size(), word) != 0) {
                return "word '" + printable(word) + "' is not the folded text";
            }
            const ECharClass k = char_class(word[0]);
            if (k == ECharClass::space ||
                std::any_of(word.begin(), word.end(), [k](wchar_t c) { return char_class(c) != k; })) {
                return "word '" + printable(word) + "' mixes classes or holds a blank";
            }
            if (k == previous && !after_blank) {
                return "word '" + printable(word) + "' continues the one before";
            }
            at += word.size();
            previous = k;
        }
        if (folded.find_first_not_of(L" \t\n\v\f\r", at) != std::wstring::npos) {
            return "text left after the last word";
        }
        return std::string();
    }
};

// ---------------------------------------------------------------------------------------------
// Web-search escaping: letters, digits and %XX only, decoding back to the bytes given; the
// search row's address is the search site with the escaped UTF-8 of the query.

// Uppercase only.
int hex_digit(char c) {
    const char* hex = "0123456789ABCDEF";
    const char* at = c != '\0' ? std::strchr(hex, c) : nullptr;
    return at != nullptr ? static_cast<int>(at - hex) : -1;
}

std::string escaping_fault(const std::string& bytes, const std::string& escaped) {
    std::string decoded;
    for (size_t i = 0; i < escaped.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(escaped[i]);
        if (std::isalnum(c) && c < 0x80) {
            decoded.push_back(static_cast<char>(c));
            continue;
        }
        const int high = i + 2 < escaped.size() ? hex_digit(escaped[i + 1]) : -1;
        const int low = i + 2 < escaped.size() ? hex_digit(escaped[i + 2]) : -1;
        if (c != '%' || high < 0 || low < 0) {
            return "byte " + std::to_string(i) + " of the escaped text is not a letter, a digit or %XX";
        }
        decoded.push_back(static_cast<char>(high << 4 | low));
        i += 2;
    }
    return decoded == bytes ? std::string() : "the escaped text decodes to other bytes";
}

const char SEARCH_SITE[] = "https://www.example.org";

class CEscapeTarget : public ITarget {
public:
    CEscapeTarget() : urls_(std::make_shared<RSiteUrls>()) { urls_->search = SEARCH_SITE; }
    std::string check(const std::string& input) override {
        const narrow_string escaped = string::url_escape(string::weak_string<char>(input));
        std::string why = escaping_fault(input, escaped.is_empty() ? "" : std::string(escaped.c_str()));
        if (!why.empty()) {
            return why;
        }
        const std::wstring query = wide_of(input);
        CWebSearchRow row(urls_);
        row.set_query(string::weak_string<wchar_t>(query));
        const narrow_string got = row.url();
        const std::string url(got.c_str(), static_cast<size_t>(got.length()));
        const std::string bytes = utf8(query);
        const std::string prefix = std::string(SEARCH_SITE) + "/search?q=";
        if (bytes.empty()) {
            return url == SEARCH_SITE ? std::string() : "an empty query gives " + url;
        }
        if (url.compare(0, prefix.size(), prefix) != 0) {
            return "the search address does not start with " + prefix;
        }
        why = escaping_fault(bytes, url.substr(prefix.size()));
        return why.empty() ? std::string() : "search address: " + why;
    }

private:
    std::shared_ptr<RSiteUrls> urls_;
};

// ---------------------------------------------------------------------------------------------
// The file of what was seen: any text is either a state that writes back byte for byte (an earlier
// version's as this version's, which reads back the same), or damage that leaves nothing read.

class CSeenTarget : public ITarget {
public:
    std::string check(const std::string& input) override {
        feed::CSeenTopics read;
        if (feed::read_seen_text(input, SEEN_SITE, read) != feed::ESeenText::GOOD) {
            return read.size() == 0 && !read.fed() && read.paused_until() == 0
                       ? std::string()
                       : "a refused text left a state";
        }
        const std::string written = feed::seen_text(read, SEEN_SITE);
        if (input.compare(0, 16, "pelikant-seen 3\n") == 0) {
            return written == input ? std::string() : "a text read whole writes back otherwise";
        }
        feed::CSeenTopics again;
        return feed::read_seen_text(written, SEEN_SITE, again) == feed::ESeenText::GOOD &&
                       feed::seen_text(again, SEEN_SITE) == written
                   ? std::string()
                   : "an earlier version's text does not read back from what it writes";
    }

private:
    static constexpr const char* SEEN_SITE = "http://127.0.0.1:8765";
};

// ---------------------------------------------------------------------------------------------
// The run

struct RTarget {
    const char* name;
    size_t max_size;
    std::unique_ptr<ITarget> (*make)();
};

const RTarget TARGETS[] = {
    {"xml", 2 << 20, [] { return std::unique_ptr<ITarget>(new CXmlTarget()); }},
    {"tokenize", 8 << 10, [] { return std::unique_ptr<ITarget>(new CTokenizeTarget()); }},
    {"escape", 8 << 10, [] { return std::unique_ptr<ITarget>(new CEscapeTarget()); }},
    {"seen", 64 << 10, [] { return std::unique_ptr<ITarget>(new CSeenTarget()); }},
};

std::uint64_t env_number(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtoull(value, nullptr, 10) : fallback;
}

std::string env_text(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// False when the file cannot be read: a seed that is missing must not become an empty one.
bool read_file(const std::string& path, std::string& out) {
    std::ifstream file(path, std::ios::binary);
    out.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return file.is_open() && !file.bad();
}

// The corpus folder in name order, the shipped index, and shapes too big to keep as files.
// Returns the files that could not be read.
std::string load_seeds(std::vector<std::string>& seeds) {
    const std::string folder = env_text("PELIKANT_FUZZ_CORPUS", PELIKANT_FUZZ_CORPUS);
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "/*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                names.push_back(found.cFileName);
            }
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        paths.push_back(folder + "/" + name);
    }
    paths.push_back(PELIKANT_FUZZ_INDEX);
    std::string unreadable;
    for (const std::string& path : paths) {
        seeds.emplace_back();
        if (!read_file(path, seeds.back())) {
            unreadable += " " + path;
        }
    }

    std::string topics = "<r><Forum><TopicContainer>", docs = "<r><Dokumentacja><Container>", deep;
    for (size_t i = 0; i <= MAX_TOPICS; ++i) {
        topics += "<Topic Id=\"" + std::to_string(i) + "\"/>";
    }
    for (size_t i = 0; i <= MAX_DOCS; ++i) {
        docs += "<SingleDoc/>";
    }
    seeds.push_back(topics + "</TopicContainer></Forum></r>");
    seeds.push_back(docs + "</Container></Dokumentacja></r>");
    for (int i = 0; i < 100000; ++i) {
        deep += "<a>";
    }
    seeds.push_back(deep);
    return unreadable;
}

class Fuzz : public testing::TestWithParam<size_t> {};

TEST_P(Fuzz, MutatedInputsKeepThePromises) {
    const RTarget& info = TARGETS[GetParam()];
    std::vector<std::string> seeds;
    const std::string unreadable = load_seeds(seeds);
    ASSERT_TRUE(unreadable.empty()) << "seed files that cannot be read:" << unreadable;
    ASSERT_GT(seeds.size(), 4u) << "no corpus in " << env_text("PELIKANT_FUZZ_CORPUS", PELIKANT_FUZZ_CORPUS);
    const std::unique_ptr<ITarget> target = info.make();
    const std::uint64_t seed = env_number("PELIKANT_FUZZ_SEED", 1);
    const std::uint64_t runs = env_number("PELIKANT_FUZZ_RUNS", UINT64_MAX);
    const ULONGLONG budget_ms = env_number("PELIKANT_FUZZ_SECONDS", 30) * 1000 / std::size(TARGETS);
    CRandom random(seed * std::size(TARGETS) + GetParam());
    const ULONGLONG start = GetTickCount64();
    std::string last;
    std::uint64_t executed = 0;
    for (; executed < runs; ++executed) {
        std::string input;
        if (executed < seeds.size()) {
            input = seeds[executed].substr(0, info.max_size);
        } else if (GetTickCount64() - start >= budget_ms) {
            break;
        } else {
            // Small seeds are picked more often; now and then the last mutant is mutated further.
            const std::string& a = seeds[random.below(seeds.size())];
            const std::string& b = seeds[random.below(seeds.size())];
            const std::string& base = !last.empty() && random.below(4) == 0 ? last
                                      : a.size() < b.size()                 ? a
                                                                            : b;
            input = mutate(base, seeds, random, info.max_size);
        }
        const std::string why = target->check(input);
        if (!why.empty()) {
            const std::string path = env_text("PELIKANT_FUZZ_OUT", ".") + "/fuzz-" + info.name + "-" +
                                     std::to_string(seed) + "-" + std::to_string(executed) + ".bin";
            std::ofstream(path, std::ios::binary) << input;
            ADD_FAILURE() << info.name << " input " << executed << " (seed " << seed << ", saved as " << path
                          << "): " << why;
            break;
        }
        last = std::move(input);
    }
    std::printf("fuzz %s: %llu inputs in %.1f s (seed %llu)%s\n", info.name,
                static_cast<unsigned long long>(executed), (GetTickCount64() - start) / 1000.0,
                static_cast<unsigned long long>(seed), target->figures().c_str());
    std::fflush(stdout);
    if (!HasFailure()) {
        EXPECT_GE(executed, std::min<std::uint64_t>(runs, seeds.size())) << "every seed runs";
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, Fuzz, testing::Range<size_t>(0, std::size(TARGETS)),
                         [](const testing::TestParamInfo<size_t>& param) {
                             return std::string(TARGETS[param.param].name);
                         });

} // namespace
