#include "search/catalogue.h"

#include <algorithm>
#include <utility>

#include "resources/resource.h"
#include "search/tokenize.h"
#include "string/convert.h"
#include "xml/parse_xml.h"

namespace search {

namespace {

// The query without the blanks typed around it, case-folded as the search folds it.
std::wstring trimmed_folded(const wide_string& query) {
    const std::wstring text = string::trimmed(string::to_standard(query));
    std::wstring folded;
    folded_copy(text.c_str(), static_cast<std::int32_t>(text.size()), folded);
    return folded;
}

// Groups of the shown entries, in list order: Enter opens the first row, so the entry whose
// title was typed comes first. Letters compare as the search compares them, so "slowa kluczowe"
// puts "Słowa kluczowe" first.
const int TITLE_IS_QUERY = 0;
const int TITLE_STARTS_WITH_QUERY = 1;
const int OTHER_TITLE = 2;

int title_rank(const std::wstring& folded_title, const std::wstring& folded_query) {
    if (folded_query.empty() || !starts_with_loosely(folded_title.c_str(), folded_title.size(),
                                                     folded_query.c_str(), folded_query.size())) {
        return OTHER_TITLE;
    }
    return folded_title.size() == folded_query.size() ? TITLE_IS_QUERY : TITLE_STARTS_WITH_QUERY;
}

} // namespace

bool read_documentation(HMODULE module, memory::ChunkedMemory<char, 128>& text) {
    HRSRC info =
        FindResourceW(module, MAKEINTRESOURCEW(IDR_DOCUMENTATION), MAKEINTRESOURCEW(10)); // RT_RCDATA
    if (info == nullptr) {
        return false;
    }
    const DWORD size = SizeofResource(module, info);
    HGLOBAL loaded = LoadResource(module, info);
    if (loaded == nullptr) {
        return false;
    }
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    if (bytes != nullptr && size >= 1) {
        text.append(static_cast<std::int32_t>(size), bytes);
    }
    FreeResource(loaded);
    const char zero = 0;
    text.append(1, &zero);
    text.linearize(0);
    return true;
}

CCatalogue::CCatalogue(const RSiteUrls& urls) : urls_(std::make_shared<const RSiteUrls>(urls)) {}

void CCatalogue::load_documentation(HMODULE module) {
    memory::ChunkedMemory<char, 128> text;
    if (!read_documentation(module, text)) {
        return;
    }
    auto web = std::make_unique<CWebSearchRow>(urls_);
    web_row_ = web.get();
    web_row_id_ = rows_.register_row(std::move(web));
    xml::CParseXml parser;
    if (!parser.parse(text.data())) {
        return;
    }
    for (const xml::RSingleDoc& doc : parser.docs()) {
        auto row = std::make_unique<CEntryRow>(index_, urls_);
        row->id = doc.Id;
        row->full_title_id = doc.FullTitleId;
        row->short_description_id = doc.ShortDescriptionId;
        const long r = rows_.register_row(std::move(row));
        index_.add(doc.FullTitleId, doc.FullTitle, r);
        index_.add(doc.ShortDescriptionId, doc.ShortDescription, r);
        if (entries_.size() <= static_cast<size_t>(r)) {
            entries_.resize(static_cast<size_t>(r) + 1);
        }
        REntry& entry = entries_[static_cast<size_t>(r)];
        const std::wstring title = string::to_standard(doc.Title);
        folded_copy(title.c_str(), static_cast<std::int32_t>(title.size()), entry.folded_title);
        titles_.add(r, title);
    }
}

const std::string* CCatalogue::sort_key_of(REntry& entry, const std::wstring& text) {
    if (entry.sort_key.empty() || entry.sorted_text != text) {
        const DWORD flags = LCMAP_SORTKEY | LINGUISTIC_IGNORECASE;
        const int length = static_cast<int>(text.size());
        const int bytes = LCMapStringW(LOCALE_USER_DEFAULT, flags, text.c_str(), length, nullptr, 0);
        entry.sort_key.assign(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
        if (bytes <= 0 || LCMapStringW(LOCALE_USER_DEFAULT, flags, text.c_str(), length,
                                       reinterpret_cast<wchar_t*>(&entry.sort_key[0]), bytes) != bytes) {
            entry.sort_key.clear();
            entry.sorted_text.clear();
            return nullptr;
        }
        entry.sorted_text = text;
    }
    return &entry.sort_key;
}

void CCatalogue::display_rows(const CSearchResult& result, std::vector<RDisplayRow>& entries) {
    entries.clear();
    memory::CollectionMemory<long, 256> ids;
    result.row_ids(ids);
    if (ids.count() == 0 && result.word_count() == 0) {
        rows_.collect_ids(ids);
    }

    // Keys point into entries_, which only loading grows.
    std::vector<const std::string*> keys;
    std::vector<int> ranks;
    bool keyed = true;
    const std::wstring query = trimmed_folded(result.query());
    entries.reserve(static_cast<size_t>(ids.count()) + 1);
    keys.reserve(static_cast<size_t>(ids.count()));
    ranks.reserve(static_cast<size_t>(ids.count()));
    for (long id : ids) {
        // Entries only: the web-search row comes last, on its own.
        const IResultRow* row = rows_.get_row(id);
        if (row == nullptr || id == web_row_id_ || static_cast<size_t>(id) >= entries_.size()) {
            continue;
        }
        REntry& known = entries_[static_cast<size_t>(id)];
        RDisplayRow entry{row->caption(), id};
        const std::string* key = keyed ? sort_key_of(known, entry.text) : nullptr;
        keyed = key != nullptr;
        keys.push_back(key);
        ranks.push_back(title_rank(known.folded_title, query));
        entries.push_back(std::move(entry));
    }

    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    if (keyed) {
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return *keys[a] < *keys[b]; });
    } else {
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            const std::wstring& x = entries[a].text;
            const std::wstring& y = entries[b].text;
            return CompareStringW(LOCALE_USER_DEFAULT, LINGUISTIC_IGNORECASE, x.c_str(),
                                  static_cast<int>(x.size()), y.c_str(),
                                  static_cast<int>(y.size())) == CSTR_LESS_THAN;
        });
    }
    // Then grouped by title, each group keeping that order.
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return ranks[a] < ranks[b]; });
    std::vector<RDisplayRow> sorted;
    sorted.reserve(entries.size() + 1);
    for (size_t i : order) {
        sorted.push_back(std::move(entries[i]));
    }
    entries.swap(sorted);

    std::vector<long> close;
    close_matches(result, close);
    for (long id : close) {
        entries.push_back(RDisplayRow{rows_.get_row(id)->caption(), id});
    }

    if (web_row_ != nullptr) {
        web_row_->set_query(string::weak_string<wchar_t>(result.query()));
        entries.push_back(RDisplayRow{web_row_->caption(), web_row_id_});
    }
}

void CCatalogue::close_matches(const CSearchResult& result, std::vector<long>& rows) const {
    std::vector<std::wstring> words;
    for (const RQueryWord& word : result.words()) {
        words.push_back(word.word);
    }
    memory::CollectionMemory<long, 256> ids;
    result.row_ids(ids);
    std::vector<long> shown;
    shown.reserve(static_cast<size_t>(ids.count()));
    for (long id : ids) {
        shown.push_back(id);
    }
    titles_.find(words, shown, CLOSE_MATCHES, rows);
}

std::vector<RDisplayRow> CCatalogue::search(const string::weak_string<wchar_t>& query) {
    // A decomposed mark would split a word; blanks alone are no query, not even for the web.
    std::wstring text = composed(string::to_standard(query));
    if (string::trimmed(text).empty()) {
        text.clear();
    }
    CSearchResult result;
    index_.match(string::weak_string<wchar_t>(text), result);
    std::vector<RDisplayRow> entries;
    display_rows(result, entries);
    return entries;
}

} // namespace search
