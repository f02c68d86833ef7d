#include "pelikant/documentation.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "nexum/nexum.h"
#include "pelikant/shell.h"
#include "pelikant/tokenize.h"
#include "string/convert.h"

namespace pelikant {

namespace {

const int DOCUMENTATION_RESOURCE = 5010;
const wchar_t WEB_SEARCH_CAPTION[] = L"Szukaj za pomocą wyszukiwarki Google";

void append(narrow_string& out, const char* text) {
    out.append(string::weak_string<char>(text));
}

// The query without the blanks typed around it, case-folded as the search folds it.
std::wstring trimmed_folded(const wide_string& query) {
    const std::wstring text = string::to_standard(query);
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && char_class(text[begin]) == ECharClass::space) {
        ++begin;
    }
    while (end > begin && char_class(text[end - 1]) == ECharClass::space) {
        --end;
    }
    std::wstring folded;
    folded_copy(text.c_str() + begin, static_cast<std::int32_t>(end - begin), folded);
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

// ---------------------------------------------------------------------------------------------
// CDocumentationVR

CDocumentationVR::CDocumentationVR(const CSearchDB& index, std::shared_ptr<const RSiteUrls> urls)
    : index_(index), urls_(std::move(urls)) {}

wide_string CDocumentationVR::full_title() const {
    return index_.get_text(full_title_id);
}

wide_string CDocumentationVR::short_description() const {
    return index_.get_text(short_description_id);
}

narrow_string CDocumentationVR::url() const {
    narrow_string out(urls_->site);
    char page[40];
    std::snprintf(page, sizeof(page), "/dokumentacja/?nro=%d", static_cast<int>(id));
    append(out, page);
    return out;
}

// ---------------------------------------------------------------------------------------------
// CGoogleVR

CGoogleVR::CGoogleVR(std::shared_ptr<const RSiteUrls> urls) : urls_(std::move(urls)) {}

void CGoogleVR::set_query(const string::weak_string<wchar_t>& query) {
    kernel::CLock guard(lock_);
    query_ = query;
}

wide_string CGoogleVR::caption() const {
    kernel::CLock guard(lock_);
    wide_string out(WEB_SEARCH_CAPTION);
    if (!query_.is_empty()) {
        out.append(string::weak_string<wchar_t>(L" \x00bb "));
        out.append(string::weak_string<wchar_t>(query_));
    }
    return out;
}

narrow_string CGoogleVR::url() const {
    kernel::CLock guard(lock_);
    narrow_string out(urls_->search);
    narrow_string utf8;
    if (query_.is_empty() || !string::to_utf8(string::weak_string<wchar_t>(query_), utf8) ||
        utf8.is_empty()) {
        return out;
    }
    append(out, "/search?q=");
    out.append(string::weak_string<char>(nexum::CNexum::escape(string::weak_string<char>(utf8))));
    return out;
}

// ---------------------------------------------------------------------------------------------
// Loading

bool read_documentation(HMODULE module, memory::ChunkedMemory<char, 128>& text) {
    HRSRC info =
        FindResourceA(module, MAKEINTRESOURCEA(DOCUMENTATION_RESOURCE), MAKEINTRESOURCEA(10)); // RT_RCDATA
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

CDocumentation::CDocumentation(const RSiteUrls& urls) : urls_(std::make_shared<const RSiteUrls>(urls)) {}

void CDocumentation::load_documentation(HMODULE module) {
    memory::ChunkedMemory<char, 128> text;
    if (!read_documentation(module, text)) {
        return;
    }
    web_row_id_ = rows_.register_row(std::make_unique<CGoogleVR>(urls_));
    CParseXml parser;
    if (!parser.parse(text.data())) {
        return;
    }
    for (const RSingleDoc& doc : parser.docs()) {
        auto row = std::make_unique<CDocumentationVR>(index_, urls_);
        row->id = doc.Id;
        row->full_title_id = doc.FullTitleId;
        row->short_description_id = doc.ShortDescriptionId;
        row->title = string::to_standard(doc.Title);
        folded_copy(row->title.c_str(), static_cast<std::int32_t>(row->title.size()), row->folded_title);
        const long r = rows_.register_row(std::move(row));
        index_.add(doc.FullTitleId, doc.FullTitle, r);
        index_.add(doc.ShortDescriptionId, doc.ShortDescription, r);
    }
}

// ---------------------------------------------------------------------------------------------
// Showing and opening

bool CDocumentation::sort_key_of(long row_id, const std::wstring& text, const std::string*& key) {
    if (row_id < 0) {
        return false;
    }
    if (static_cast<size_t>(row_id) >= sort_keys_.size()) {
        return false;
    }
    RSortKey& cached = sort_keys_[static_cast<size_t>(row_id)];
    if (cached.key.empty() || cached.text != text) {
        const DWORD flags = LCMAP_SORTKEY | LINGUISTIC_IGNORECASE;
        const int length = static_cast<int>(text.size());
        const int bytes = LCMapStringW(LOCALE_USER_DEFAULT, flags, text.c_str(), length, nullptr, 0);
        cached.key.assign(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
        if (bytes <= 0 || LCMapStringW(LOCALE_USER_DEFAULT, flags, text.c_str(), length,
                                       reinterpret_cast<wchar_t*>(&cached.key[0]), bytes) != bytes) {
            cached.key.clear();
            cached.text.clear();
            return false;
        }
        cached.text = text;
    }
    key = &cached.key;
    return true;
}

void CDocumentation::display_rows(const CSearchResultDB& result, std::vector<RDisplayRow>& entries) {
    entries.clear();
    memory::CollectionMemory<long, 256> ids;
    result.row_ids(ids);
    if (ids.count() == 0 && result.word_count() == 0) {
        rows_.collect_ids(ids);
    }

    // Grown here only, before any key is handed out: growing moves the keys.
    const size_t row_count = static_cast<size_t>(rows_.count());
    if (sort_keys_.size() < row_count) {
        sort_keys_.resize(row_count);
    }
    std::vector<const std::string*> keys;
    std::vector<int> ranks;
    bool keyed = true;
    const std::wstring query = trimmed_folded(result.query());
    entries.reserve(static_cast<size_t>(ids.count()) + 1);
    keys.reserve(static_cast<size_t>(ids.count()));
    ranks.reserve(static_cast<size_t>(ids.count()));
    for (long id : ids) {
        const std::shared_ptr<IVirtualRowDB> row = rows_.get_row(id);
        const CDocumentationVR* doc =
            row != nullptr && row->kind() == 0 ? dynamic_cast<const CDocumentationVR*>(row.get()) : nullptr;
        if (doc == nullptr) {
            continue;
        }
        const wide_string title = doc->full_title();
        const wide_string description = doc->short_description();
        RDisplayRow entry;
        entry.text.reserve(static_cast<size_t>(title.length() + description.length()) + 5);
        entry.text.append(title.c_str(), static_cast<size_t>(title.length()));
        entry.text.append(L" /*");
        entry.text.append(description.c_str(), static_cast<size_t>(description.length()));
        entry.text.append(L"*/");
        entry.row_id = id;
        const std::string* key = nullptr;
        keyed = keyed && sort_key_of(id, entry.text, key);
        keys.push_back(key);
        ranks.push_back(title_rank(doc->folded_title, query));
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

    const std::shared_ptr<IVirtualRowDB> web_row = rows_.get_row(web_row_id_);
    CGoogleVR* web =
        web_row != nullptr && web_row->kind() == 1 ? dynamic_cast<CGoogleVR*>(web_row.get()) : nullptr;
    if (web != nullptr) {
        web->set_query(string::weak_string<wchar_t>(result.query()));
        entries.push_back(RDisplayRow{string::to_standard(web->caption()), web_row_id_});
    }
}

void CDocumentation::fill_list(wapi::CListView& list, const std::vector<RDisplayRow>& entries) {
    // Every insert into a visible list repaints it: 789 of them take seconds.
    list.set_redraw(false);
    list.delete_all();
    for (const RDisplayRow& entry : entries) {
        list.insert_item(entry.text.c_str(), static_cast<LPARAM>(entry.row_id));
    }
    list.set_redraw(true);
    list.select_item(0);
}

void CDocumentation::show_results(const CSearchResultDB& result, wapi::CListView& list) {
    std::vector<RDisplayRow> entries;
    display_rows(result, entries);
    fill_list(list, entries);
}

bool CDocumentation::activate_row(long row_id) const {
    const std::shared_ptr<IVirtualRowDB> row = rows_.get_row(row_id);
    if (row == nullptr) {
        return false;
    }
    narrow_string url;
    if (const CDocumentationVR* doc =
            row->kind() == 0 ? dynamic_cast<const CDocumentationVR*>(row.get()) : nullptr) {
        url = doc->url();
    } else if (const CGoogleVR* web =
                   row->kind() == 1 ? dynamic_cast<const CGoogleVR*>(row.get()) : nullptr) {
        url = web->url();
    } else {
        return true;
    }
    shell_open(url.c_str());
    return true;
}

} // namespace pelikant
