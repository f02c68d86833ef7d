// The word splitter, the dictionary, the index, the row registry and the search, on hand-made
// texts and on the index embedded in pelikant.exe.
#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "search/catalogue.h"
#include "search/close_match.h"
#include "search/embedded_index.h"
#include "xml/parse_xml.h"
#include "search/result_rows.h"
#include "search/text_index.h"
#include "search/search_result.h"
#include "search/tokenize.h"
#include "search/dictionary.h"

using namespace search;
using xml::CParseXml;
using xml::RSingleDoc;

namespace {

using Words = std::vector<std::wstring>;

std::wstring w(const wide_string& s) {
    return s.is_empty() ? std::wstring() : std::wstring(s.c_str());
}

std::vector<long> ids_of(const memory::CollectionMemory<long, 256>& set) {
    std::vector<long> ids;
    for (long id : set) {
        ids.push_back(id);
    }
    return ids;
}

// What a search for one word reaches: the text that reached each row, by row, and its hits (a
// text reached through several words counts that often).
using Reached = std::pair<std::vector<long>, long>;
Reached reached(const CTextIndex& db, const wchar_t* word) {
    CSearchResult result;
    db.match(word, result);
    Reached out{{}, result.words().empty() ? 0 : result.words()[0].hits};
    for (const RResultRow& row : result.rows()) {
        out.first.push_back(row.text_id);
    }
    return out;
}

std::vector<long> row_ids_of(const CSearchResult& result) {
    std::vector<long> rows;
    for (const RResultRow& row : result.rows()) {
        rows.push_back(row.row_id);
    }
    return rows;
}

Words query_words(const CSearchResult& result) {
    Words words;
    for (const RQueryWord& word : result.words()) {
        words.push_back(word.word);
    }
    return words;
}

// The letter rule over the marks of the shipped index, written out by hand: a letter typed
// without its mark also finds the marked one, a letter typed with it only itself.
const std::wstring MARKED = L"ąćęłńóśźż";
const std::wstring UNMARKED = L"acelnoszz";

wchar_t without_mark(wchar_t c) {
    const std::size_t at = MARKED.find(c);
    return at == std::wstring::npos ? c : UNMARKED[at];
}

std::wstring without_marks(std::wstring text) {
    for (wchar_t& c : text) {
        c = without_mark(c);
    }
    return text;
}

bool contains_loosely(const std::wstring& word, const std::wstring& part) {
    for (std::size_t at = 0; at + part.size() <= word.size(); ++at) {
        std::size_t i = 0;
        while (i < part.size() && (part[i] == word[at + i] || (MARKED.find(part[i]) == std::wstring::npos &&
                                                               without_mark(word[at + i]) == part[i]))) {
            ++i;
        }
        if (i == part.size()) {
            return true;
        }
    }
    return false;
}

// A row that counts its destructions.
class CTestRow : public IResultRow {
public:
    CTestRow(const wchar_t* caption, int* destroyed = nullptr) : caption_(caption), destroyed_(destroyed) {}
    ~CTestRow() override {
        if (destroyed_ != nullptr) {
            ++*destroyed_;
        }
    }
    std::wstring caption() const override { return caption_; }
    narrow_string url() const override { return narrow_string(); }

private:
    std::wstring caption_;
    int* destroyed_;
};

} // namespace

TEST(Tokenize, Cases) {
    struct RCase {
        const wchar_t* text;
        Words words;
    } cases[] = {
        {L"", {}},
        {L" \t\n\v\f\r  ", {}},
        {L"a.b", {L"a", L".", L"b"}},
        {L"Łańcuchy znaków, C", {L"łańcuchy", L"znaków", L",", L"c"}},
        {L"x2y", {L"x", L"2", L"y"}},
        {L"int32_t", {L"int", L"32", L"_", L"t"}},
        {L"C++ - Dokumentacja C i C++ | standard",
         {L"c", L"++", L"-", L"dokumentacja", L"c", L"i", L"c", L"++", L"|", L"standard"}},
        {L"  ZAŻÓŁĆ\tGęŚlĄ  ", {L"zażółć", L"gęślą"}},
        {L"std::vector<int>", {L"std", L"::", L"vector", L"<", L"int", L">"}},
        {L"12 34", {L"12", L"34"}},
        {L"a\u00a0b", {L"a", L"\u00a0", L"b"}},             // no-break space is not a blank
        {L"x\u0663\u0664y", {L"x", L"\u0663\u0664", L"y"}}, // nor are other digits digits
        {L"Szukaj » Google", {L"szukaj", L"»", L"google"}},
        {L"++--", {L"++--"}},
    };
    for (const RCase& c : cases) {
        EXPECT_EQ(tokenize(c.text), c.words) << "'" << testing::PrintToString(std::wstring(c.text)) << "'";
    }
}

TEST(Tokenize, CharacterClasses) {
    struct RCase {
        wchar_t c;
        ECharClass k;
    } cases[] = {
        {L'0', ECharClass::digit},       {L'9', ECharClass::digit},   {L'\u0663', ECharClass::symbol},
        {L'\uff11', ECharClass::symbol}, {L'a', ECharClass::letter},  {L'Z', ECharClass::letter},
        {L'ł', ECharClass::letter},      {L'Ż', ECharClass::letter},  {L' ', ECharClass::space},
        {L'\t', ECharClass::space},      {L'\n', ECharClass::space},  {L'\v', ECharClass::space},
        {L'\f', ECharClass::space},      {L'\r', ECharClass::space},  {L'\u00a0', ECharClass::symbol},
        {L'+', ECharClass::symbol},      {L'|', ECharClass::symbol},  {L'»', ECharClass::symbol},
        {L'_', ECharClass::symbol},      {L'\0', ECharClass::symbol}, {L'/', ECharClass::symbol},
        {L':', ECharClass::symbol},
    };
    for (const RCase& c : cases) {
        EXPECT_EQ(char_class(c.c), c.k) << "U+" << std::hex << static_cast<int>(c.c);
    }
}

TEST(WordDB, InternFindAndContaining) {
    CDictionary words;
    EXPECT_EQ(words.intern(L"analiza"), 0);
    EXPECT_EQ(words.intern(L"zmiana"), 1);
    EXPECT_EQ(words.intern(L"ANALIZA"), 0); // folded before lookup
    EXPECT_EQ(words.intern(L"banan"), 2);
    EXPECT_EQ(words.intern(L"kot"), 3);
    EXPECT_EQ(words.intern(L"Planarny"), 4);
    EXPECT_EQ(words.intern(L"łańcuch"), 5);
    EXPECT_EQ(words.intern(L"Źródło"), 6);
    EXPECT_EQ(words.intern(L"lancuch"), 7);
    EXPECT_EQ(words.intern(L"café"), 8);
    EXPECT_EQ(words.count(), 9);
    EXPECT_EQ(words.word(4), L"planarny");
    EXPECT_EQ(words.word(-1), L"");
    EXPECT_EQ(words.word(9), L"");

    EXPECT_EQ(words.find(L"Zmiana"), 1);
    EXPECT_EQ(words.find(L"zmian"), -1); // exact words only
    EXPECT_EQ(words.find(L"ŁAŃCUCH"), 5);
    EXPECT_EQ(words.find(L""), -1);

    // A fragment is found anywhere in a word, not only at its start. From "zrodlo" on: a letter
    // typed without its mark finds the marked one, typed with it only itself.
    struct RCase {
        const wchar_t* fragment;
        std::vector<long> ids;
    } cases[] = {
        {L"ana", {0, 1, 2, 4}}, {L"ANA", {0, 1, 2, 4}}, {L"a", {0, 1, 2, 4, 5, 7, 8}},
        {L"kot", {3}},          {L"koty", {}},          {L"ńcu", {5}},
        {L"ŃC", {5}},           {L"zzz", {}},           {L"planarny!", {}},
        {L"zrodlo", {6}},       {L"źrodlo", {6}},       {L"ZRODLO", {6}},
        {L"zrodło", {6}},       {L"żrodlo", {}},        {L"lancuch", {5, 7}},
        {L"łańcuch", {5}},      {L"lańc", {5}},         {L"e", {8}},
        {L"cafe", {8}},         {L"CAFÉ", {8}},         {L"cafè", {}},
    };
    for (const RCase& c : cases) {
        const std::string shown = testing::PrintToString(std::wstring(c.fragment));
        EXPECT_EQ(ids_of(words.find_containing(c.fragment)), c.ids) << shown;
        std::vector<long> plain{99};
        words.find_containing(c.fragment, plain);
        EXPECT_EQ(plain, c.ids) << shown;
    }
}

TEST(SearchIndex, AddingAnIdAgainReplacesItsText) {
    CTextIndex db;
    db.add(7, L"Alfa beta", 1);
    EXPECT_EQ(reached(db, L"alfa"), Reached({7}, 1));
    db.add(7, L"beta Gamma", 2);
    // Only the second text stays findable, and its words point at it once.
    EXPECT_EQ(reached(db, L"alfa"), Reached({}, 0));
    EXPECT_EQ(reached(db, L"beta"), Reached({7}, 1));
    EXPECT_EQ(reached(db, L"gamma"), Reached({7}, 1));
    EXPECT_GE(db.words().find(L"alfa"), 0); // words outlive the texts that brought them
    long row = 0;
    EXPECT_EQ(w(db.get_text(7, row)), L"beta Gamma"); // kept as given, not folded
    EXPECT_EQ(row, 2);
    EXPECT_EQ(db.text_count(), 1);
}

TEST(SearchIndex, PostingsListEachTextOnce) {
    CTextIndex db;
    db.add(2, L"C - Dokumentacja C i C++ | standard", 1);
    // 'c' three times lists 2 once under 'c'; 'dokumentacja' also contains 'c'.
    EXPECT_EQ(reached(db, L"c"), Reached({2}, 2));
    EXPECT_EQ(reached(db, L"++"), Reached({2}, 1));
    EXPECT_EQ(reached(db, L"x"), Reached({}, 0));

    CTextIndex order;
    order.add(10, L"x", 1);
    order.add(11, L"y x", 2);
    order.add(12, L"xy", 3);
    order.add(13, L"x x x", 4);
    EXPECT_EQ(reached(order, L"x"), Reached({10, 11, 12, 13}, 4));
    // A text added again leaves every word of the one before, a repeated one too.
    order.add(11, L"z", 2);
    order.add(13, L"z", 4);
    EXPECT_EQ(reached(order, L"x"), Reached({10, 12}, 2));
    EXPECT_EQ(reached(order, L"y"), Reached({12}, 1));
    EXPECT_EQ(reached(order, L"z"), Reached({11, 13}, 2));
}

TEST(SearchIndex, OddIdsAndTexts) {
    CTextIndex db;
    db.add(-1, L"alfa", 1); // a text without an id: the last one wins
    db.add(-1, L"beta", 2);
    EXPECT_EQ(reached(db, L"alfa"), Reached({}, 0));
    EXPECT_EQ(reached(db, L"beta"), Reached({-1}, 1));
    long row = 0;
    EXPECT_EQ(w(db.get_text(-1, row)), L"beta");
    EXPECT_EQ(row, 2);

    db.add(5, L"", 3); // present, but reaches nothing
    EXPECT_EQ(db.text_count(), 2);
    EXPECT_EQ(w(db.get_text(5, row)), L"");
    EXPECT_EQ(row, 3);
    EXPECT_EQ(w(db.get_text(6, row)), L"");
    EXPECT_EQ(row, -1);

    // Rows far away, or negative, come out in order too.
    db.add(20, L"wspólne słowo", 5000000);
    db.add(21, L"wspólne", -7);
    db.add(22, L"WSPÓLNE", 4);
    CSearchResult result;
    db.match(L"wspólne", result);
    EXPECT_EQ(row_ids_of(result), (std::vector<long>{-7, 4, 5000000}));
    EXPECT_EQ(w(result.query()), L"wspólne");
    db.match(L"słowo WSPÓLNE", result);
    EXPECT_EQ(row_ids_of(result), std::vector<long>{5000000});
    ASSERT_EQ(result.row_count(), 1);
    EXPECT_EQ(*result.rows()[0].text, L"wspólne słowo");
    EXPECT_EQ(result.rows()[0].text_id, 20);
    db.match(L"wspólne ne", result);
    EXPECT_EQ(row_ids_of(result), (std::vector<long>{-7, 4, 5000000}));
    ASSERT_EQ(result.row_count(), 3);
    EXPECT_EQ(*result.rows()[1].text, L"WSPÓLNE");
}

TEST(RowList, RegisterLookUpCollectDelete) {
    int destroyed = 0;
    {
        CRowList rows;
        EXPECT_EQ(rows.get_row(0), nullptr);
        EXPECT_EQ(rows.register_row(std::make_unique<CTestRow>(L"a", &destroyed)), 0);
        EXPECT_EQ(rows.register_row(nullptr), 1);
        EXPECT_EQ(rows.register_row(std::make_unique<CTestRow>(L"b", &destroyed)), 2);
        EXPECT_EQ(rows.count(), 3);
        ASSERT_NE(rows.get_row(0), nullptr);
        EXPECT_EQ(rows.get_row(0)->caption(), L"a");
        EXPECT_EQ(rows.get_row(2)->caption(), L"b");
        EXPECT_EQ(rows.get_row(1), nullptr);
        EXPECT_EQ(rows.get_row(-1), nullptr);
        EXPECT_EQ(rows.get_row(3), nullptr);

        memory::CollectionMemory<long, 256> ids;
        rows.collect_ids(ids);
        EXPECT_EQ(ids_of(ids), (std::vector<long>{0, 2}));

        rows.delete_all();
        EXPECT_EQ(destroyed, 2);
        EXPECT_EQ(rows.count(), 0);
        EXPECT_EQ(rows.get_row(0), nullptr);
        EXPECT_EQ(rows.register_row(std::make_unique<CTestRow>(L"c", &destroyed)),
                  0); // numbering starts again
    }
    EXPECT_EQ(destroyed, 3); // the rest go with the list
}

TEST(SearchResult, MatchOrderAndResultRecord) {
    const RMatch a{3, 10};
    const RMatch b{3, 99};
    const RMatch c{4, 1};
    // Only the row takes part in comparisons.
    EXPECT_TRUE(a == b && !(a != b) && a <= b && a >= b && !(a < b) && !(a > b));
    EXPECT_TRUE(a != c && a < c && a <= c && c > a && c >= a && !(a == c));

    CSearchResult result;
    result.set_query(L"  Abc ");
    result.add_word(RQueryWord{L"abc", 4});
    const shared_text t = std::make_shared<const std::wstring>(L"t");
    result.add_row(RResultRow{t, 5, 9});
    result.add_row(RResultRow{t, 6, 2});
    result.add_row(RResultRow{t, 7, 9});
    EXPECT_EQ(RResultRow().text, empty_text()); // a row never holds a null text
    EXPECT_EQ(*RResultRow().text, L"");
    memory::CollectionMemory<long, 256> ids;
    ids.add(100);
    result.row_ids(ids);
    EXPECT_EQ(ids_of(ids), (std::vector<long>{2, 9}));
    EXPECT_EQ(result.word_count(), 1);
    EXPECT_EQ(w(result.query()), L"  Abc ");
    result.clear();
    EXPECT_EQ(result.word_count(), 0);
    EXPECT_EQ(result.row_count(), 0);
    EXPECT_TRUE(result.query().is_empty());
    result.row_ids(ids);
    EXPECT_EQ(ids.count(), 0);
}

// The documentation index shipped in pelikant.exe, loaded by the program's loader: the web-search
// row first, then one row and two texts per entry. The parsed entries serve as the reference.
class ShippedSearch : public testing::Test {
protected:
    static void SetUpTestSuite() {
        const test::CShippedModule shipped;
        documentation_ = new CCatalogue(RSiteUrls{"http://site", "http://search"});
        documentation_->load_documentation(shipped.get());
        parser_ = new CParseXml;
        memory::ChunkedMemory<char, 128> text;
        loaded_ = read_documentation(shipped.get(), text) && parser_->parse(text.data());
        db_ = &documentation_->index();
        rows_ = &documentation_->rows();
    }
    static void TearDownTestSuite() {
        delete documentation_;
        delete parser_;
    }
    void SetUp() override {
        ASSERT_TRUE(loaded_) << "the documentation index of pelikant.exe did not load or parse";
    }

    static const std::vector<RSingleDoc>& docs() { return parser_->docs(); }
    static const RSingleDoc& doc_of_row(long row) { return docs()[static_cast<std::size_t>(row - 1)]; }
    static long row_of_entry(std::int32_t id) {
        for (std::size_t i = 0; i < docs().size(); ++i) {
            if (docs()[i].Id == id) {
                return static_cast<long>(i) + 1;
            }
        }
        return -1;
    }
    static std::vector<long> rows_for(const wchar_t* query) {
        CSearchResult result;
        db_->match(query, result);
        return row_ids_of(result);
    }

    static CCatalogue* documentation_;
    static CParseXml* parser_;
    static bool loaded_;
    static CTextIndex* db_;
    static const CRowList* rows_;
};

CCatalogue* ShippedSearch::documentation_ = nullptr;
CParseXml* ShippedSearch::parser_ = nullptr;
bool ShippedSearch::loaded_ = false;
CTextIndex* ShippedSearch::db_ = nullptr;
const CRowList* ShippedSearch::rows_ = nullptr;

TEST_F(ShippedSearch, LoadedShape) {
    EXPECT_EQ(rows_->count(), 789);
    EXPECT_EQ(documentation_->web_row_id(), 0);
    ASSERT_NE(rows_->get_row(0), nullptr);
    EXPECT_EQ(rows_->get_row(0)->caption(), L"Szukaj za pomocą wyszukiwarki Google");
    EXPECT_EQ(rows_->get_row(789), nullptr);
    // Rows 1 to 788 are the entries in document order, each bound to its own two texts.
    ASSERT_EQ(docs().size(), 788u);
    for (long row = 1; row <= 788; ++row) {
        const auto* entry = dynamic_cast<const CEntryRow*>(rows_->get_row(row));
        ASSERT_NE(entry, nullptr) << row;
        const RSingleDoc& doc = doc_of_row(row);
        ASSERT_EQ(entry->id, doc.Id) << row;
        ASSERT_EQ(entry->full_title_id, doc.FullTitleId) << row;
        ASSERT_EQ(entry->short_description_id, doc.ShortDescriptionId) << row;
        ASSERT_EQ(w(entry->full_title()), w(doc.FullTitle)) << row;
        ASSERT_EQ(w(entry->short_description()), w(doc.ShortDescription)) << row;
    }
    EXPECT_EQ(db_->text_count(), 1576);
    long row = -1;
    EXPECT_EQ(w(db_->get_text(docs()[0].FullTitleId, row)), L"C - Dokumentacja C i C++ | standard");
    EXPECT_EQ(row, 1);
}

TEST_F(ShippedSearch, DocumentedQueries) {
    const long nine = row_of_entry(9);
    ASSERT_GT(nine, 0);
    EXPECT_EQ(w(doc_of_row(nine).FullTitle), L"inline - C | słowo kluczowe");
    for (const wchar_t* query : {L"inline", L"INLINE", L"Inline "}) {
        CSearchResult result;
        db_->match(query, result);
        EXPECT_EQ(row_ids_of(result), std::vector<long>{nine}) << testing::PrintToString(std::wstring(query));
        EXPECT_EQ(query_words(result), Words{L"inline"});
        EXPECT_EQ(w(result.query()), query); // as typed
        ASSERT_EQ(result.row_count(), 1);
        EXPECT_EQ(*result.rows()[0].text, w(doc_of_row(nine).FullTitle));
        EXPECT_EQ(result.rows()[0].text_id, doc_of_row(nine).FullTitleId);
    }

    const std::vector<long> printf_rows = rows_for(L"printf");
    EXPECT_EQ(printf_rows.size(), 5u);
    std::set<std::wstring> titles;
    for (long row : printf_rows) {
        titles.insert(w(doc_of_row(row).FullTitle));
    }
    EXPECT_EQ(titles.count(L"printf - C | funkcja"), 1u);
    EXPECT_EQ(titles.count(L"sprintf - C | funkcja"), 1u);

    CSearchResult twice;
    db_->match(L"printf printf", twice);
    EXPECT_EQ(row_ids_of(twice), printf_rows);
    EXPECT_EQ(query_words(twice), (Words{L"printf", L"printf"}));

    CSearchResult cpp;
    db_->match(L"c++", cpp);
    EXPECT_EQ(query_words(cpp), (Words{L"c", L"++"}));
    EXPECT_FALSE(cpp.rows().empty());
    EXPECT_LT(cpp.rows().size(), rows_for(L"c").size());

    CSearchResult vector;
    db_->match(L"std::vector", vector);
    EXPECT_EQ(vector.row_count(), 0);
    EXPECT_EQ(query_words(vector), (Words{L"std", L"::", L"vector"}));
    for (const RQueryWord& word : vector.words()) {
        EXPECT_GT(word.hits, 0) << testing::PrintToString(word.word);
        // Counted as the word alone counts them.
        EXPECT_EQ(word.hits, reached(*db_, word.word.c_str()).second);
        EXPECT_FALSE(rows_for(word.word.c_str()).empty()) << testing::PrintToString(word.word);
    }
    const std::vector<long> scope = rows_for(L"::");
    EXPECT_EQ(scope.size(), 3u);
    for (long row : scope) {
        const std::wstring description = w(doc_of_row(row).ShortDescription);
        EXPECT_TRUE(description.find(L"sf::String") != std::wstring::npos ||
                    description.find(L"std::deque") != std::wstring::npos)
            << testing::PrintToString(description);
    }

    CSearchResult nothing;
    db_->match(L"zzz", nothing);
    EXPECT_EQ(nothing.row_count(), 0);
    ASSERT_EQ(nothing.word_count(), 1);
    EXPECT_EQ(nothing.words()[0].word, L"zzz");
    EXPECT_EQ(nothing.words()[0].hits, 0);

    for (const wchar_t* query : {L"", L"   "}) {
        CSearchResult empty;
        empty.add_word(RQueryWord{L"stare", 1}); // a reused result starts clean
        db_->match(query, empty);
        EXPECT_EQ(empty.row_count(), 0);
        EXPECT_EQ(empty.word_count(), 0);
        EXPECT_EQ(w(empty.query()), query);
    }
}

// Every result, against the definition: a row qualifies when each query word occurs inside
// some word of its full title or description.
TEST_F(ShippedSearch, MatchAgreesWithBruteForce) {
    struct RDocWords {
        std::set<std::wstring> title;
        std::set<std::wstring> description;
    };
    std::vector<RDocWords> doc_words;
    for (const RSingleDoc& doc : docs()) {
        const Words title = tokenize(doc.FullTitle);
        const Words description = tokenize(doc.ShortDescription);
        doc_words.push_back({{title.begin(), title.end()}, {description.begin(), description.end()}});
    }
    auto count_containing = [](const std::set<std::wstring>& words, const std::wstring& part) {
        return static_cast<long>(std::count_if(words.begin(), words.end(), [&](const std::wstring& word) {
            return contains_loosely(word, part);
        }));
    };

    const std::wstring extras[] = {L"ą",   L"Ł", L"ż", L"::", L"++", L"#",      L"»",
                                   L"zzz", L"(", L"_", L"0",  L"ÓW", L"zrodlo", L"l"};
    std::mt19937 random(20240601);
    for (int round = 0; round < 3000; ++round) {
        std::wstring query;
        const int parts = 1 + static_cast<int>(random() % 3);
        for (int part = 0; part < parts; ++part) {
            if (random() % 6 == 0) {
                query += extras[random() % (sizeof(extras) / sizeof(extras[0]))];
            } else {
                const RSingleDoc& doc = docs()[random() % docs().size()];
                const std::wstring text = w(random() % 2 ? doc.FullTitle : doc.ShortDescription);
                if (!text.empty()) {
                    const std::size_t from = random() % text.size();
                    const std::wstring part = text.substr(from, 1 + random() % 10);
                    query += random() % 3 == 0 ? without_marks(part) : part; // typed as most people do
                }
            }
            query += std::wstring(random() % 3, L' ');
        }
        for (wchar_t& c : query) {
            if (random() % 4 == 0) {
                CharUpperBuffW(&c, 1);
            }
        }

        const Words words = tokenize(query.c_str());
        std::vector<long> expected_rows;
        std::vector<long> expected_hits(words.size(), 0);
        for (std::size_t d = 0; d < doc_words.size(); ++d) {
            bool all = !words.empty();
            for (std::size_t i = 0; i < words.size(); ++i) {
                const long in_title = count_containing(doc_words[d].title, words[i]);
                const long in_description = count_containing(doc_words[d].description, words[i]);
                expected_hits[i] += in_title + in_description;
                all = all && in_title + in_description > 0;
            }
            if (all) {
                expected_rows.push_back(static_cast<long>(d) + 1);
            }
        }

        CSearchResult result;
        db_->match(query.c_str(), result);
        const std::string shown = testing::PrintToString(query);
        ASSERT_EQ(row_ids_of(result), expected_rows) << shown;
        ASSERT_EQ(query_words(result), words) << shown;
        for (std::size_t i = 0; i < words.size(); ++i) {
            ASSERT_EQ(result.words()[i].hits, expected_hits[i]) << shown << " word " << i;
        }
        for (const RResultRow& row : result.rows()) {
            // The recorded text is one of the row's own that the first word reached.
            const RSingleDoc& doc = doc_of_row(row.row_id);
            const bool title = row.text_id == doc.FullTitleId && *row.text == w(doc.FullTitle) &&
                               count_containing(doc_words[row.row_id - 1].title, words[0]) > 0;
            const bool description = row.text_id == doc.ShortDescriptionId &&
                                     *row.text == w(doc.ShortDescription) &&
                                     count_containing(doc_words[row.row_id - 1].description, words[0]) > 0;
            ASSERT_TRUE(title || description) << shown << " row " << row.row_id;
        }
        ASSERT_EQ(w(result.query()), query);
    }
}

// Every index word with a Polish letter, typed without its marks, finds at least the entries it
// finds typed with them.
TEST_F(ShippedSearch, WordsTypedWithoutMarksLoseNoEntry) {
    std::set<std::wstring> marked;
    for (const RSingleDoc& doc : docs()) {
        for (const wide_string* text : {&doc.FullTitle, &doc.ShortDescription}) {
            for (const std::wstring& word : tokenize(*text)) {
                if (without_marks(word) != word) {
                    marked.insert(word);
                }
            }
        }
    }
    EXPECT_EQ(marked.size(), 668u);
    std::vector<std::wstring> losing;
    for (const std::wstring& word : marked) {
        const std::vector<long> typed = rows_for(word.c_str());
        const std::vector<long> plain = rows_for(without_marks(word).c_str());
        if (typed.empty() || !std::includes(plain.begin(), plain.end(), typed.begin(), typed.end())) {
            losing.push_back(word);
        }
    }
    EXPECT_EQ(losing, std::vector<std::wstring>{});
}

// Close matches on names made up for it: each slip, parts of a name, the letter rule, and what is
// not forgiven.
TEST(CloseMatcher, SlipsAndAbbreviations) {
    CCloseMatcher names;
    const wchar_t* titles[] = {L"wskaźnik",    L"lower_bound", L"toAnsiString", L"EXIT_SUCCESS",
                               L"std::vector", L"printf",      L"print",        L"Łańcuch"};
    for (long row = 0; row < 8; ++row) {
        names.add(row, titles[row]);
    }
    struct RCase {
        const wchar_t* query;
        std::vector<long> rows;
    } cases[] = {
        {L"wskaznk", {0}},   {L"wskażnik", {0}}, {L"rpintf", {}},  {L"pritnf", {5}}, {L"prnit", {6, 5}},
        {L"printx", {6, 5}}, {L"prin", {}},      {L"prtn", {}},    {L"lobo", {1}},   {L"lowerbound", {1}},
        {L"tost", {2}},      {L"toanst", {2}},   {L"exsu", {3}},   {L"eisu", {}},    {L"stdvec", {4}},
        {L"std vectr", {4}}, {L"lancuh", {7}},   {L"łańcuh", {7}}, {L"wskażnk", {}}, {L"xyzzy", {}},
    };
    for (const RCase& c : cases) {
        std::vector<long> rows{99};
        names.find(tokenize(c.query), {}, 10, rows);
        EXPECT_EQ(rows, c.rows) << testing::PrintToString(std::wstring(c.query));
    }
    std::vector<long> rows;
    names.find(tokenize(L"prnit"), {6}, 10, rows); // shown already
    EXPECT_EQ(rows, std::vector<long>{5});
    names.find(tokenize(L"prnit"), {}, 1, rows);
    EXPECT_EQ(rows, std::vector<long>{6});
}
