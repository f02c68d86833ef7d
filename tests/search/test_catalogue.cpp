// The catalogue loaded from pelikant.exe: what a search shows, in order, and the address each
// row opens.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "search/catalogue.h"
#include "search/embedded_index.h"
#include "search/slipped_names.h"

using namespace search;

namespace {

const wchar_t WEB_SEARCH[] = L"Szukaj za pomocą wyszukiwarki Google";

std::string url_of(const IResultRow* row) {
    return row == nullptr ? std::string("(no row)") : std::string(row->url().c_str());
}

class ResultList : public testing::Test {
protected:
    static void SetUpTestSuite() {
        const test::CShippedModule shipped;
        catalogue_ = new CCatalogue(RSiteUrls{"http://strona.test", "https://szukaj.test"});
        catalogue_->load_documentation(shipped.get());
        titles_ = test::titles_by_row(shipped.get());
    }
    static void TearDownTestSuite() { delete catalogue_; }
    void SetUp() override {
        // The count of rows is checked where the search runs (test_search.cpp); here the list
        // shows whatever was loaded.
        ASSERT_GT(row_count(), 1) << "the documentation index of pelikant.exe did not load";
    }

    static long row_count() { return catalogue_->rows().count(); }
    static std::vector<RDisplayRow> show(const std::wstring& query) {
        return catalogue_->search(query.c_str());
    }

    static CCatalogue* catalogue_;
    static std::vector<std::wstring> titles_; // by row id
};

CCatalogue* ResultList::catalogue_ = nullptr;
std::vector<std::wstring> ResultList::titles_;

} // namespace

TEST_F(ResultList, EmptyQueryListsEveryEntrySortedThenTheWebSearch) {
    const std::vector<RDisplayRow> items = show(L"");
    ASSERT_EQ(items.size(), static_cast<size_t>(row_count()));
    std::set<long> rows;
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        ASSERT_NE(dynamic_cast<const CEntryRow*>(catalogue_->rows().get_row(items[i].row_id)), nullptr) << i;
        rows.insert(items[i].row_id);
        if (i > 0) {
            const std::wstring& a = items[i - 1].text;
            const std::wstring& b = items[i].text;
            EXPECT_NE(
                CompareStringW(LOCALE_USER_DEFAULT, LINGUISTIC_IGNORECASE, a.c_str(), -1, b.c_str(), -1),
                CSTR_GREATER_THAN)
                << i;
        }
    }
    EXPECT_EQ(rows.size(), items.size() - 1);
    EXPECT_EQ(*rows.begin(), 1);
    EXPECT_EQ(*rows.rbegin(), static_cast<long>(items.size() - 1));
    EXPECT_EQ(items.back().text, WEB_SEARCH);
    EXPECT_EQ(items.back().row_id, 0);
}

TEST_F(ResultList, QueriesGiveTheirRowsAndCaption) {
    const struct {
        const wchar_t* query;
        std::vector<std::wstring> items; // empty: every entry, then only the last is checked
        const wchar_t* last;
        bool leading = false; // items are then the list's first items, by full title alone
    } cases[] = {
        {L"inline",
         {L"inline - C | słowo kluczowe /*Wstawianie kodu funkcji w miejscu wywołania.*/",
          L"Szukaj za pomocą wyszukiwarki Google » inline"},
         nullptr},
        {L"std::vector", {L"Szukaj za pomocą wyszukiwarki Google » std::vector"}, nullptr},
        {L"zzz", {L"Szukaj za pomocą wyszukiwarki Google » zzz"}, nullptr},
        // Blanks alone are no query: every entry, and the web search with nothing to search for.
        {L"   ", {}, WEB_SEARCH},
        {L" \t", {}, WEB_SEARCH},
        {L"printf", {L"printf - C | funkcja", L"fprintf - C | funkcja"}, nullptr, true},
        {L"PRINTF", {L"printf - C | funkcja"}, nullptr, true},
        {L"int", {L"int - C | słowo kluczowe", L"int - C++ | słowo kluczowe"}, nullptr, true},
        {L"static", {L"static - C | słowo kluczowe", L"static - C++ | słowo kluczowe"}, nullptr, true},
        {L" \tstatic  ", {L"static - C | słowo kluczowe"}, nullptr, true},
        {L"print", {L"printf - C | funkcja", L"fprintf - C | funkcja"}, nullptr, true},
        // Typed without the marks, the title still comes first.
        {L"slowa kluczowe", {L"Słowa kluczowe - C", L"Słowa kluczowe - C++"}, nullptr, true},
        {L"SLOWA", {L"Słowa kluczowe - C", L"Słowa kluczowe - C++"}, nullptr, true},
        // Reaching nothing, a name with one slip or abbreviated comes first, so Enter opens it.
        {L"pritnf", {L"printf - C | funkcja"}, nullptr, true},
        {L"prinf", {L"printf - C | funkcja"}, nullptr, true},
        {L"printff", {L"printf - C | funkcja"}, nullptr, true},
        {L"ptintf", {L"printf - C | funkcja"}, nullptr, true},
        {L"pritn", {L"printf - C | funkcja"}, nullptr, true},
        {L"strtlo", {L"strtol - C | funkcja", L"strtod - C | funkcja"}, nullptr, true},
        {L"eqra", {L"equal_range - C++ | algorytm"}, nullptr, true},
        {L"naglwki", {L"Nagłówki - C", L"Nagłówki - C++"}, nullptr, true},
        {L"sotr", {L"Szukaj za pomocą wyszukiwarki Google » sotr"}, nullptr}, // too short for a slip
        {L"qwxzvb", {L"Szukaj za pomocą wyszukiwarki Google » qwxzvb"}, nullptr},
    };
    for (const auto& c : cases) {
        const std::vector<RDisplayRow> items = show(c.query);
        const std::string name = testing::PrintToString(std::wstring(c.query));
        ASSERT_FALSE(items.empty()) << name;
        if (c.last != nullptr) {
            EXPECT_EQ(items.size(), static_cast<size_t>(row_count())) << name;
            EXPECT_EQ(items.back().text, c.last) << name;
        } else {
            std::vector<std::wstring> texts;
            for (const RDisplayRow& item : items) {
                texts.push_back(c.leading ? item.text.substr(0, item.text.find(L" /*")) : item.text);
            }
            texts.resize(c.leading ? c.items.size() : texts.size());
            EXPECT_EQ(texts, c.items) << name;
        }
        EXPECT_EQ(items.back().row_id, 0) << name;
    }
    // Pasted in decomposed form ("a" and a combining ogonek), a word is still one word.
    const auto texts = [](const std::vector<RDisplayRow>& rows) {
        std::vector<std::wstring> out;
        for (const RDisplayRow& row : rows) {
            out.push_back(row.text);
        }
        return out;
    };
    const std::vector<RDisplayRow> composed = show(L"wyjątek");
    ASSERT_GT(composed.size(), 1u);
    EXPECT_EQ(texts(show(L"wyja\u0328tek")), texts(composed));
}

// Typing a one-word title, Enter opens an entry of that title ("int" of C or of C++).
TEST_F(ResultList, EveryOneWordTitleComesFirst) {
    // Titles by row id; the web-search row's stays empty.
    const std::vector<std::wstring>& titles = titles_;
    std::vector<std::wstring> not_first;
    const auto one_word = [](const std::wstring& t) {
        return !t.empty() && t.find(L' ') == std::wstring::npos;
    };
    for (const std::wstring& title : titles) {
        const std::vector<RDisplayRow> rows = show(title);
        ASSERT_FALSE(rows.empty()) << testing::PrintToString(title);
        if (one_word(title) && _wcsicmp(titles[rows[0].row_id].c_str(), title.c_str()) != 0) {
            not_first.push_back(title);
        }
    }
    EXPECT_EQ(std::count_if(titles.begin(), titles.end(), one_word), 784);
    EXPECT_EQ(not_first, std::vector<std::wstring>{});
}

TEST_F(ResultList, EachRowOpensItsAddress) {
    const struct {
        const wchar_t* query;
        int item; // -1: the last
        const char* url;
    } cases[] = {
        {L"inline", 0, "http://strona.test/dokumentacja/?nro=9"},
        {L"inline", -1, "https://szukaj.test/search?q=inline"},
        {L"std::vector", -1, "https://szukaj.test/search?q=std%3A%3Avector"},
        {L"   ", -1, "https://szukaj.test"},
        {L"łańcuch", -1, "https://szukaj.test/search?q=%C5%82a%C5%84cuch"},
        {L"a-b.c_d~e", -1, "https://szukaj.test/search?q=a%2Db%2Ec%5Fd%7Ee"},
        {L"", -1, "https://szukaj.test"},
    };
    for (const auto& c : cases) {
        const std::vector<RDisplayRow> items = show(c.query);
        ASSERT_FALSE(items.empty());
        const RDisplayRow& item = c.item < 0 ? items.back() : items[static_cast<size_t>(c.item)];
        EXPECT_EQ(url_of(catalogue_->row(item.row_id)), c.url)
            << testing::PrintToString(std::wstring(c.query));
    }
    EXPECT_EQ(catalogue_->row(row_count()), nullptr);
    EXPECT_EQ(catalogue_->row(-1), nullptr);
}

TEST_F(ResultList, WithoutTheResourceNothingIsListed) {
    CCatalogue none(RSiteUrls{"http://strona.test", "https://szukaj.test"});
    none.load_documentation(GetModuleHandleA(nullptr)); // the test program embeds no index
    EXPECT_EQ(none.rows().count(), 0);
    EXPECT_EQ(none.web_row_id(), -1);
    EXPECT_TRUE(none.search(L"").empty());
    EXPECT_EQ(none.row(0), nullptr);
}

TEST(DocumentationRow, AddressAndMissingTexts) {
    const CTextIndex index;
    CEntryRow row(index, std::make_shared<const RSiteUrls>(RSiteUrls{"http://strona.test", ""}));
    row.id = -12;
    EXPECT_STREQ(row.url().c_str(), "http://strona.test/dokumentacja/?nro=-12");
    EXPECT_TRUE(row.full_title().is_empty());
    EXPECT_TRUE(row.short_description().is_empty());
    EXPECT_EQ(row.caption(), L" /**/");
}

// The index's names, each slipped once of every kind: the name comes within the first three rows,
// after at most ten close matches. The few it misses follow from the order (a later slip in another
// name comes first: "conut" gives const before count).
TEST_F(ResultList, SlippedNamesComeWithinThreeRows) {
    std::vector<std::wstring> missed;
    size_t slips = 0;
    for (const test::RSlipped& slip : test::slipped_names(titles_, 20240601)) {
        if (slip.kind == test::ESlip::abbreviated) {
            continue;
        }
        ++slips;
        const std::vector<RDisplayRow> rows = show(slip.query);
        const auto three = rows.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(3, rows.size()));
        if (std::none_of(rows.begin(), three,
                         [&](const RDisplayRow& row) { return titles_[row.row_id] == slip.name; })) {
            missed.push_back(slip.query);
        }
        CSearchResult today;
        catalogue_->index().match(slip.query.c_str(), today);
        EXPECT_LE(rows.size(), today.rows().size() + CCatalogue::CLOSE_MATCHES + 1);
    }
    EXPECT_GT(slips, 2000u);
    EXPECT_LE(missed.size() * 100, slips) << testing::PrintToString(missed);
}

// For the queries of the tests above, the rows the search reaches come first as they did: the title
// typed, then titles starting with it, then the rest, each group by text. None of them comes again
// among the close matches ("ostream" has one: ofstream).
TEST_F(ResultList, ReachedRowsComeFirstInTheirOrder) {
    for (const std::wstring query :
         {L"inline", L"INLINE", L"printf", L"printf printf", L"print", L"int", L"static", L"slowa kluczowe",
          L"c++", L"::", L"wskaznik", L"wyjątk", L"zzz", L"a", L"ostream"}) {
        CSearchResult result;
        catalogue_->index().match(query.c_str(), result);
        std::set<long> reached;
        for (const RResultRow& row : result.rows()) {
            reached.insert(row.row_id);
        }
        const std::vector<RDisplayRow> rows = show(query);
        std::vector<std::pair<int, std::wstring>> today; // rank of the title, text
        for (size_t i = 0; i + 1 < rows.size(); ++i) {
            ASSERT_EQ(reached.count(rows[i].row_id) > 0, i < reached.size())
                << testing::PrintToString(query) << i;
            const std::wstring name = titles_[rows[i].row_id];
            std::wstring title, typed;
            folded_copy(query.c_str(), static_cast<std::int32_t>(query.size()), typed);
            folded_copy(name.c_str(), static_cast<std::int32_t>(name.size()), title);
            const bool starts = starts_with_loosely(title.c_str(), title.size(), typed.c_str(), typed.size());
            today.emplace_back(!starts ? 2 : title.size() == typed.size() ? 0 : 1, rows[i].text);
        }
        today.resize(reached.size());
        EXPECT_TRUE(std::is_sorted(today.begin(), today.end(), [](const auto& a, const auto& b) {
            return a.first < b.first ||
                   (a.first == b.first &&
                    CompareStringW(LOCALE_USER_DEFAULT, LINGUISTIC_IGNORECASE, a.second.c_str(), -1,
                                   b.second.c_str(), -1) == CSTR_LESS_THAN);
        })) << testing::PrintToString(query);
    }
}
