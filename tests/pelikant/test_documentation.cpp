// The result rows loaded from pelikant.exe, shown in a real list view and opened: what the list
// holds is read back from the control, what would be opened is caught before the shell.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "gui_window.h"
#include "pelikant/documentation.h"
#include "pelikant/embedded_index.h"
#include "pelikant/shell.h"

using namespace pelikant;

namespace {

std::vector<std::string> g_opened;

} // namespace

// Linked in place of the program's own, which hands the address to the browser.
void pelikant::shell_open(const char* url) {
    g_opened.push_back(url);
}

namespace {

const wchar_t WEB_SEARCH[] = L"Szukaj za pomocą wyszukiwarki Google";

struct RItem {
    std::wstring text;
    LPARAM data = -1;
    bool selected = false;
    bool focused = false;
};

std::wstring w(const wide_string& s) {
    return s.is_empty() ? std::wstring() : std::wstring(s.c_str());
}

class ResultList : public testing::Test {
protected:
    static void SetUpTestSuite() {
        window_ = test::CGuiWindow::open(L"PelikantResultListTest");
        if (window_ == nullptr) {
            return;
        }
        list_ = new wapi::CListView;
        list_->rect = wapi::RRect{0, 0, 599, 399};
        window_->run([&] {
            if (!wapi::CWindowBase::add_control(list_, window_)) {
                list_ = nullptr;
                return;
            }
            list_->insert_column(0, L"Wynik", 560);
        });
        const test::CShippedModule shipped;
        documentation_ = new CDocumentation(RSiteUrls{"http://strona.test", "https://szukaj.test"});
        documentation_->load_documentation(shipped.get());
    }
    static void TearDownTestSuite() {
        test::CGuiWindow::close(window_); // deletes the list with the window
        delete documentation_;
    }
    void SetUp() override {
        ASSERT_NE(window_, nullptr);
        ASSERT_NE(list_, nullptr);
        // The count of rows is checked where the search runs (test_search.cpp); here the list
        // shows whatever was loaded.
        ASSERT_GT(row_count(), 1) << "resource 5010 of pelikant.exe did not load";
        g_opened.clear();
    }

    static long row_count() { return documentation_->rows().count(); }

    // Searches as the search box does and reads the list back.
    static std::vector<RItem> show(const std::wstring& query) {
        std::vector<RItem> items;
        window_->run([&] {
            CSearchResultDB result;
            documentation_->index().match(query.c_str(), result);
            documentation_->show_results(result, *list_);
            const int count = list_->item_count();
            for (int i = 0; i < count; ++i) {
                wchar_t text[1024] = {};
                LVITEMW item = {};
                item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
                item.iItem = i;
                item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
                item.pszText = text;
                item.cchTextMax = 1024;
                SendMessageW(list_->handle, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
                items.push_back(RItem{text, item.lParam, (item.state & LVIS_SELECTED) != 0,
                                      (item.state & LVIS_FOCUSED) != 0});
            }
        });
        return items;
    }

    static test::CGuiWindow* window_;
    static wapi::CListView* list_; // not owned: the window's children own it
    static CDocumentation* documentation_;
};

test::CGuiWindow* ResultList::window_ = nullptr;
wapi::CListView* ResultList::list_ = nullptr;
CDocumentation* ResultList::documentation_ = nullptr;

} // namespace

TEST_F(ResultList, EmptyQueryListsEveryEntrySortedThenTheWebSearch) {
    const std::vector<RItem> items = show(L"");
    ASSERT_EQ(items.size(), static_cast<size_t>(row_count()));
    std::set<LPARAM> rows;
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        const auto* entry =
            dynamic_cast<const CDocumentationVR*>(documentation_->rows().get_row(items[i].data).get());
        ASSERT_NE(entry, nullptr) << i;
        EXPECT_EQ(items[i].text, w(entry->full_title()) + L" /*" + w(entry->short_description()) + L"*/")
            << i;
        rows.insert(items[i].data);
        if (i > 0) {
            const std::wstring& a = items[i - 1].text;
            const std::wstring& b = items[i].text;
            EXPECT_NE(
                CompareStringW(LOCALE_USER_DEFAULT, LINGUISTIC_IGNORECASE, a.c_str(), -1, b.c_str(), -1),
                CSTR_GREATER_THAN)
                << i;
        }
        EXPECT_EQ(items[i].selected, i == 0) << i;
        EXPECT_EQ(items[i].focused, i == 0) << i;
    }
    EXPECT_EQ(rows.size(), items.size() - 1);
    EXPECT_EQ(*rows.begin(), 1);
    EXPECT_EQ(*rows.rbegin(), static_cast<LPARAM>(items.size() - 1));
    EXPECT_EQ(items.back().text, WEB_SEARCH);
    EXPECT_EQ(items.back().data, 0);
    EXPECT_FALSE(items.back().selected);

    int top = -1;
    bool visible = false;
    window_->run([&] {
        top = static_cast<int>(SendMessageW(list_->handle, LVM_GETTOPINDEX, 0, 0));
        visible = IsWindowVisible(list_->handle) != FALSE;
    });
    EXPECT_EQ(top, 0);
    EXPECT_TRUE(visible) << "the list is shown again after its refill";
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
        {L"   ", {}, L"Szukaj za pomocą wyszukiwarki Google »    "},
        {L" ", {}, L"Szukaj za pomocą wyszukiwarki Google »  "},
        {L"printf", {L"printf - C | funkcja", L"fprintf - C | funkcja"}, nullptr, true},
        {L"PRINTF", {L"printf - C | funkcja"}, nullptr, true},
        {L"int", {L"int - C | słowo kluczowe", L"int - C++ | słowo kluczowe"}, nullptr, true},
        {L"static", {L"static - C | słowo kluczowe", L"static - C++ | słowo kluczowe"}, nullptr, true},
        {L" \tstatic  ", {L"static - C | słowo kluczowe"}, nullptr, true},
        {L"print", {L"printf - C | funkcja", L"fprintf - C | funkcja"}, nullptr, true},
        // Typed without the marks, the title still comes first.
        {L"slowa kluczowe", {L"Słowa kluczowe - C", L"Słowa kluczowe - C++"}, nullptr, true},
        {L"SLOWA", {L"Słowa kluczowe - C", L"Słowa kluczowe - C++"}, nullptr, true},
    };
    for (const auto& c : cases) {
        const std::vector<RItem> items = show(c.query);
        const std::string name = testing::PrintToString(std::wstring(c.query));
        ASSERT_FALSE(items.empty()) << name;
        if (c.last != nullptr) {
            EXPECT_EQ(items.size(), static_cast<size_t>(row_count())) << name;
            EXPECT_EQ(items.back().text, c.last) << name;
        } else {
            std::vector<std::wstring> texts;
            for (const RItem& item : items) {
                texts.push_back(c.leading ? item.text.substr(0, item.text.find(L" /*")) : item.text);
            }
            texts.resize(c.leading ? c.items.size() : texts.size());
            EXPECT_EQ(texts, c.items) << name;
        }
        EXPECT_EQ(items.back().data, 0) << name;
        EXPECT_TRUE(items[0].selected && items[0].focused) << name;
    }
}

// Typing a one-word title, Enter opens an entry of that title ("int" of C or of C++).
TEST_F(ResultList, EveryOneWordTitleComesFirst) {
    // Titles by row id; the web-search row's stays empty.
    std::vector<std::wstring> titles(static_cast<size_t>(row_count())), not_first;
    for (long id = 1; id < row_count(); ++id) {
        titles[id] = dynamic_cast<const CDocumentationVR&>(*documentation_->rows().get_row(id)).title;
    }
    const auto one_word = [](const std::wstring& t) {
        return !t.empty() && t.find(L' ') == std::wstring::npos;
    };
    window_->run([&] {
        for (const std::wstring& title : titles) {
            CSearchResultDB result;
            documentation_->index().match(title.c_str(), result);
            std::vector<RDisplayRow> rows;
            documentation_->display_rows(result, rows);
            if (one_word(title) && _wcsicmp(titles[rows[0].row_id].c_str(), title.c_str()) != 0) {
                not_first.push_back(title);
            }
        }
    });
    EXPECT_EQ(std::count_if(titles.begin(), titles.end(), one_word), 784);
    EXPECT_EQ(not_first, std::vector<std::wstring>{});
}

TEST_F(ResultList, ActivatingOpensTheRowsAddress) {
    const struct {
        const wchar_t* query;
        int item; // -1: the last
        const char* url;
    } cases[] = {
        {L"inline", 0, "http://strona.test/dokumentacja/?nro=9"},
        {L"inline", -1, "https://szukaj.test/search?q=inline"},
        {L"std::vector", -1, "https://szukaj.test/search?q=std%3A%3Avector"},
        {L"   ", -1, "https://szukaj.test/search?q=%20%20%20"},
        {L"łańcuch", -1, "https://szukaj.test/search?q=%C5%82a%C5%84cuch"},
        {L"a-b.c_d~e", -1, "https://szukaj.test/search?q=a%2Db%2Ec%5Fd%7Ee"},
        {L"", -1, "https://szukaj.test"},
    };
    for (const auto& c : cases) {
        const std::vector<RItem> items = show(c.query);
        ASSERT_FALSE(items.empty());
        const RItem& item = c.item < 0 ? items.back() : items[static_cast<size_t>(c.item)];
        g_opened.clear();
        EXPECT_TRUE(documentation_->activate_row(static_cast<long>(item.data)));
        EXPECT_EQ(g_opened, std::vector<std::string>{c.url}) << testing::PrintToString(std::wstring(c.query));
    }

    g_opened.clear();
    EXPECT_FALSE(documentation_->activate_row(row_count()));
    EXPECT_FALSE(documentation_->activate_row(-1));
    EXPECT_TRUE(g_opened.empty());
}

TEST_F(ResultList, WithoutTheResourceNothingIsListed) {
    CDocumentation none(RSiteUrls{"http://strona.test", "https://szukaj.test"});
    none.load_documentation(GetModuleHandleA(nullptr)); // the test program embeds no index
    EXPECT_EQ(none.rows().count(), 0);
    EXPECT_EQ(none.web_row_id(), -1);
    int count = -1;
    window_->run([&] {
        CSearchResultDB result;
        none.index().match(L"", result);
        none.show_results(result, *list_);
        count = list_->item_count();
    });
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(none.activate_row(0));
    EXPECT_TRUE(g_opened.empty());
}

TEST(DocumentationRow, AddressAndMissingTexts) {
    const CSearchDB index;
    CDocumentationVR row(index, std::make_shared<const RSiteUrls>(RSiteUrls{"http://strona.test", ""}));
    EXPECT_EQ(row.kind(), 0);
    row.id = -12;
    EXPECT_STREQ(row.url().c_str(), "http://strona.test/dokumentacja/?nro=-12");
    EXPECT_TRUE(row.full_title().is_empty());
    EXPECT_TRUE(row.short_description().is_empty());
}
