// The XML reader on hand-made feeds, hostile documents and the index embedded in pelikant.exe.
#include <climits>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "search/catalogue.h"
#include "search/embedded_index.h"
#include "xml/parse_xml.h"
#include "string/convert.h"

using namespace xml;
using search::read_documentation;

namespace {

std::wstring w(const wide_string& s) {
    return s.is_empty() ? std::wstring() : std::wstring(s.c_str());
}

std::string feed_with(const std::string& topics) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><Pelikant><Forum><TopicContainer>" + topics +
           "</TopicContainer></Forum></Pelikant>";
}

std::string topic_with(const std::string& attributes, const std::string& inner = "<Title>t</Title>") {
    return "<Topic " + attributes + ">" + inner + "</Topic>";
}

} // namespace

TEST(ParseXml, IntegerAndFlagRules) {
    struct RCase {
        const char* attribute; // nullptr: attribute missing
        std::int32_t id;       // Id, default -1
        std::int32_t posts;    // PostCount, default 0
        bool flag;             // IsOpen
    } cases[] = {
        {nullptr, -1, 0, false},
        {"", 0, 0, false},    // empty text is accepted as 0
        {" 5", 5, 5, false},  // leading blanks are accepted
        {"5 ", -1, 0, false}, // a trailing blank rejects
        {"01", 1, 1, true},
        {"1", 1, 1, true},
        {"2", 2, 2, false},
        {"true", -1, 0, false},
        {"-5", -5, -5, false},
        {"+7", 7, 7, false},
        {"12a", -1, 0, false},
        {"99999999999", INT_MAX, INT_MAX, false}, // clamped to the 32-bit range
        {"-99999999999", INT_MIN, INT_MIN, false},
    };
    for (const RCase& c : cases) {
        const std::string value = c.attribute == nullptr ? "" : c.attribute;
        const std::string attributes = c.attribute == nullptr
                                           ? "Title=\"x\""
                                           : "Id=\"" + value + "\" PostCount=\"" + value + "\" IsOpen=\"" +
                                                 value + "\" Visited=\"" + value + "\"";
        CParseXml parser;
        ASSERT_TRUE(parser.parse(feed_with(topic_with(attributes)).c_str())) << value;
        ASSERT_EQ(parser.feed().Topics.size(), 1u);
        const RTopic& topic = parser.feed().Topics[0];
        EXPECT_EQ(topic.Id, c.id) << "'" << value << "'";
        EXPECT_EQ(topic.PostCount, c.posts) << "'" << value << "'";
        EXPECT_EQ(topic.IsOpen, c.flag) << "'" << value << "'";
        EXPECT_EQ(topic.Visited, c.flag) << "'" << value << "'";
        EXPECT_EQ(topic.ParentId, -1);
        EXPECT_EQ(topic.OrderKey, 0);
        EXPECT_EQ(topic.LastPageNo, -1);
    }
}

TEST(ParseXml, ElementTextComesOnlyFromALeadingTextNode) {
    struct RCase {
        const char* inner;
        const wchar_t* title;
    } cases[] = {
        {"<Title>Temat</Title>", L"Temat"},
        {"<Title></Title>", L""},
        {"<Title/>", L""},
        {"<Title><!-- uwaga -->Temat</Title>", L""},
        {"<Title><b>x</b>Temat</Title>", L""},
        {"<Title><![CDATA[a<b & c]]></Title>", L"a<b & c"},
        {"<Title>   </Title>", L""},
        {"", L""},
        {"<Inny>x</Inny><Title>drugi</Title><Title>trzeci</Title>", L"drugi"},
    };
    for (const RCase& c : cases) {
        CParseXml parser;
        ASSERT_TRUE(parser.parse(feed_with(topic_with("Id=\"1\"", c.inner)).c_str())) << c.inner;
        ASSERT_EQ(parser.feed().Topics.size(), 1u) << c.inner;
        EXPECT_EQ(w(parser.feed().Topics[0].Title), c.title) << c.inner;
    }
}

TEST(ParseXml, FeedStructure) {
    const std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- przed -->\n<Inny>"
                             "<Information UpdateDT=\"2026-12-08 10:00\">Opis kana\xc5\x82u</Information>"
                             "<Forum><TopicContainer>\n  tekst <!-- komentarz -->"
                             "<Topic Id=\"1\" UpdateDT=\"a\" CreateDT=\"b\"><Title>pierwszy</Title></Topic>\n"
                             "<Other Id=\"9\"/><!-- c --> tekst "
                             "<Topic Id=\"2\"><Title>drugi</Title></Topic>"
                             "<Topic Id=\"3\"><Title>trzeci</Title></Topic>"
                             "</TopicContainer></Forum></Inny>";
    CParseXml parser;
    ASSERT_TRUE(parser.parse(text.c_str()));
    const RForumFeed& feed = parser.feed();
    EXPECT_EQ(w(feed.InformationText), L"Opis kanału");
    EXPECT_EQ(w(feed.InformationUpdateDT), L"2026-12-08 10:00");
    ASSERT_EQ(feed.Topics.size(), 3u);
    EXPECT_EQ(feed.Topics[0].Id, 1);
    EXPECT_EQ(w(feed.Topics[0].UpdateDT), L"a");
    EXPECT_EQ(w(feed.Topics[0].CreateDT), L"b");
    EXPECT_EQ(w(feed.Topics[1].Title), L"drugi");
    EXPECT_EQ(feed.Topics[2].Id, 3);
    EXPECT_TRUE(parser.docs().empty());
}

TEST(ParseXml, TextsArriveAsTheRightUtf16) {
    std::string description(299, 'x');
    description.replace(0, 8, "\xc5\x81\xc3\xb3\x64\xc5\xba"); // "Łódź" + 4 x
    const std::string text =
        "<Pelikant><Dokumentacja><Container>"
        "<SingleDoc Id=\"7\" GroupId=\"8\"><Title>Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87</Title>"
        "<FullTitle Id=\"9\">operator&amp;= &lt;g\xc4\x99\xc5\x9bl\xc4\x85&gt; &#x142;</FullTitle>"
        "<ShortDescription Id=\"10\">" +
        description +
        "</ShortDescription></SingleDoc>"
        "<SingleDoc Id=\"11\"><FullTitle Id=\"12\"/></SingleDoc>"
        "</Container></Dokumentacja></Pelikant>";
    CParseXml parser;
    ASSERT_TRUE(parser.parse(text.c_str()));
    ASSERT_EQ(parser.docs().size(), 2u);
    const RSingleDoc& doc = parser.docs()[0];
    EXPECT_EQ(doc.Id, 7);
    EXPECT_EQ(doc.GroupId, 8);
    EXPECT_EQ(w(doc.Title), L"Zażółć");
    EXPECT_EQ(doc.FullTitleId, 9);
    EXPECT_EQ(w(doc.FullTitle), L"operator&= <gęślą> ł");
    EXPECT_EQ(doc.ShortDescriptionId, 10);
    EXPECT_EQ(doc.ShortDescription.length(), 295) << "four UTF-8 pairs became four UTF-16 units";
    EXPECT_EQ(w(doc.ShortDescription).substr(0, 6), L"Łódźxx");

    const RSingleDoc& bare = parser.docs()[1];
    EXPECT_EQ(bare.GroupId, -1);
    EXPECT_EQ(bare.FullTitleId, 12) << "an empty element still has its id";
    EXPECT_TRUE(bare.FullTitle.is_empty());
    EXPECT_EQ(bare.ShortDescriptionId, -1) << "a missing element gives -1";
}

TEST(ParseXml, EncodingFromByteOrderMarkOrDeclaration) {
    const std::string text = "\xef\xbb\xbf<Pelikant><Information>\xc4\x85</Information></Pelikant>";
    CParseXml parser;
    ASSERT_TRUE(parser.parse(text.c_str()));
    EXPECT_EQ(w(parser.feed().InformationText), L"ą");
    ASSERT_TRUE(parser.parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                             "<Pelikant><Information>\xb3\xf3\xbf</Information></Pelikant>"));
    EXPECT_EQ(w(parser.feed().InformationText), L"\u00b3\u00f3\u00bf");
}

TEST(ParseXml, FailuresLeaveRecordsAsTheyWere) {
    CParseXml parser;
    ASSERT_TRUE(parser.parse(feed_with(topic_with("Id=\"5\"")).c_str()));
    const char* bad[] = {
        "", "   \n ", "<Pelikant><Forum>", "<Pelikant></Inny>", "<a b=\"1></a>", "nie XML",
    };
    for (const char* text : bad) {
        EXPECT_FALSE(parser.parse(text)) << "'" << text << "'";
        ASSERT_EQ(parser.feed().Topics.size(), 1u) << "'" << text << "'";
        EXPECT_EQ(parser.feed().Topics[0].Id, 5);
    }
    EXPECT_FALSE(parser.parse(nullptr));
}

TEST(ParseXml, DocumentWithoutElementsGivesEmptyRecords) {
    const char* texts[] = {
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>",
        "<!-- tylko komentarz -->",
    };
    for (const char* text : texts) {
        CParseXml parser;
        ASSERT_TRUE(parser.parse(feed_with(topic_with("Id=\"5\"")).c_str()));
        EXPECT_TRUE(parser.parse(text)) << text;
        EXPECT_TRUE(parser.feed().Topics.empty()) << text;
        EXPECT_TRUE(parser.feed().InformationText.is_empty());
        EXPECT_TRUE(parser.docs().empty());
    }
}

TEST(ParseXml, SecondParseReplacesRecords) {
    CParseXml parser;
    ASSERT_TRUE(parser.parse(feed_with(topic_with("Id=\"1\"") + topic_with("Id=\"2\"")).c_str()));
    ASSERT_TRUE(parser.parse(feed_with(topic_with("Id=\"3\"")).c_str()));
    ASSERT_EQ(parser.feed().Topics.size(), 1u);
    EXPECT_EQ(parser.feed().Topics[0].Id, 3);
}

TEST(ParseXml, MillionDeepNestingDoesNotCrash) {
    const size_t depth = 1000000;
    std::string text;
    text.reserve(depth * 7 + 64);
    for (size_t i = 0; i < depth; ++i) {
        text += "<a>";
    }
    for (size_t i = 0; i < depth; ++i) {
        text += "</a>";
    }
    CParseXml parser;
    EXPECT_TRUE(parser.parse(text.c_str()));
    EXPECT_TRUE(parser.feed().Topics.empty());

    text.resize(depth * 3); // never closed
    EXPECT_FALSE(parser.parse(text.c_str()));

    // Deep inside a real container: only direct Topic children count.
    std::string nested = "<P><Forum><TopicContainer>";
    for (size_t i = 0; i < depth; ++i) {
        nested += "<Topic>";
    }
    for (size_t i = 0; i < depth; ++i) {
        nested += "</Topic>";
    }
    nested += "</TopicContainer></Forum></P>";
    ASSERT_TRUE(parser.parse(nested.c_str()));
    EXPECT_EQ(parser.feed().Topics.size(), 1u);
}

TEST(ParseXml, HugeDocumentsDoNotExhaustMemory) {
    // As large as a download may get, all of it empty topics: the records stop at the cap.
    const size_t cap = 16 * 1024 * 1024;
    std::string many = "<P><Forum><TopicContainer>";
    many.reserve(cap + 64);
    while (many.size() < cap) {
        many += "<Topic/>";
    }
    many += "</TopicContainer></Forum></P>";
    CParseXml parser;
    ASSERT_TRUE(parser.parse(many.c_str()));
    EXPECT_EQ(parser.feed().Topics.size(), MAX_TOPICS);
    EXPECT_EQ(parser.feed().Topics[0].Id, -1);
    std::string entries = "<P><Dokumentacja><Container>";
    for (size_t i = 0; i <= MAX_DOCS; ++i) {
        entries += "<SingleDoc/>";
    }
    ASSERT_TRUE(parser.parse((entries + "</Container></Dokumentacja></P>").c_str()));
    EXPECT_EQ(parser.docs().size(), MAX_DOCS);

    // Hundreds of megabytes of one text arrive whole.
    const size_t length = 200u * 1024 * 1024;
    std::string big = "<P><Information>";
    big.append(length, 'a');
    big += "</Information></P>";
    CParseXml big_parser;
    ASSERT_TRUE(big_parser.parse(big.c_str()));
    EXPECT_EQ(static_cast<size_t>(big_parser.feed().InformationText.length()), length);
}

// ---------------------------------------------------------------------------------------------
// The index embedded in the program. Its count of entries and what its words find are checked
// where the search cuts them (test_search.cpp).

TEST(DocumentationIndex, EmbeddedIndexHasTheShippedProperties) {
    const test::CShippedModule shipped;
    memory::ChunkedMemory<char, 128> text;
    ASSERT_TRUE(read_documentation(shipped.get(), text)) << "pelikant.exe has no documentation index";
    CParseXml parser;
    ASSERT_TRUE(parser.parse(text.data()));
    const std::vector<RSingleDoc>& docs = parser.docs();
    ASSERT_GE(docs.size(), 3u);
    EXPECT_TRUE(parser.feed().Topics.empty());
    EXPECT_TRUE(parser.feed().InformationText.is_empty());

    EXPECT_EQ(docs.front().Id, 1);
    EXPECT_EQ(docs.back().Id, 1069);
    std::set<int> groups, full_ids, description_ids;
    int previous = 0, longest_title = 0, longest_full = 0, longest_description = 0, empty_descriptions = 0;
    bool operator_and = false;
    for (const RSingleDoc& doc : docs) {
        EXPECT_GT(doc.Id, previous) << "ids ascend";
        previous = doc.Id;
        EXPECT_TRUE(groups.insert(doc.GroupId).second) << doc.Id;
        EXPECT_TRUE(full_ids.insert(doc.FullTitleId).second) << doc.Id;
        EXPECT_TRUE(description_ids.insert(doc.ShortDescriptionId).second) << doc.Id;
        longest_title = std::max(longest_title, doc.Title.length());
        longest_full = std::max(longest_full, doc.FullTitle.length());
        longest_description = std::max(longest_description, doc.ShortDescription.length());
        empty_descriptions += doc.ShortDescription.is_empty() ? 1 : 0;

        // Every text converts back to UTF-8 and again to the same UTF-16: nothing was lost.
        for (const wide_string* text : {&doc.FullTitle, &doc.ShortDescription}) {
            string::basic_string<char, 256> utf8;
            wide_string again;
            ASSERT_TRUE(string::to_utf8(string::weak_string<wchar_t>(*text), utf8));
            ASSERT_TRUE(string::from_utf8(string::weak_string<char>(utf8), again));
            EXPECT_EQ(w(again), w(*text)) << doc.Id;
            EXPECT_EQ(w(*text).find(L'\xfffd'), std::wstring::npos) << doc.Id;
        }
        operator_and = operator_and || w(doc.FullTitle) == L"operator&=";
    }
    EXPECT_TRUE(operator_and) << "the entity must be decoded once, not shown as &amp;";
    EXPECT_EQ(longest_title, 33);
    EXPECT_EQ(longest_full, 61);
    EXPECT_EQ(longest_description, 299);
    EXPECT_EQ(empty_descriptions, 1);

    const struct {
        int index, id, group;
        const wchar_t* title;
        int full_id;
        const wchar_t* full;
        int description_id;
        const wchar_t* description;
    } first[] = {
        {0, 1, 1, L"C", 2, L"C - Dokumentacja C i C++ | standard", 1093,
         L"Narzędzia, które wywodzą się ze standardu języka C."},
        {1, 2, 3, L"C++", 6, L"C++ - Dokumentacja C i C++ | standard", 1091,
         L"Narzędzia, które należą do standardu C++."},
        {2, 3, 4, L"Słowa kluczowe", 8, L"Słowa kluczowe - C", 1783,
         L"Wykaz słów kluczowych, które pojawiły się w standardzie języka C."},
    };
    for (const auto& f : first) {
        const RSingleDoc& doc = docs[static_cast<size_t>(f.index)];
        EXPECT_EQ(doc.Id, f.id);
        EXPECT_EQ(doc.GroupId, f.group);
        EXPECT_EQ(w(doc.Title), f.title);
        EXPECT_EQ(doc.FullTitleId, f.full_id);
        EXPECT_EQ(w(doc.FullTitle), f.full);
        EXPECT_EQ(doc.ShortDescriptionId, f.description_id);
        EXPECT_EQ(w(doc.ShortDescription), f.description);
    }
}
