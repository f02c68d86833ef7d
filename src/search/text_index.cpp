#include "search/text_index.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace search {

void CTextIndex::add(long text_id, const string::weak_string<wchar_t>& text, long row_id) {
    const std::vector<std::wstring> words = tokenize(wide_string(text));
    std::vector<long> word_ids;
    word_ids.reserve(words.size());
    for (const std::wstring& word : words) {
        word_ids.push_back(words_.intern(word));
    }
    shared_text copy =
        text.length() > 0
            ? std::make_shared<const std::wstring>(text.c_str(), static_cast<std::size_t>(text.length()))
            : empty_text();

    // Words are never removed, so interning before the removal gives the same word ids.
    drop(text_id);
    RText& record = texts_[text_id];
    record.text = std::move(copy);
    record.row_id = row_id;
    for (long id : word_ids) {
        if (id < 0) {
            continue;
        }
        if (id >= static_cast<long>(postings_.size())) {
            postings_.resize(static_cast<std::size_t>(id) + 1);
        }
        std::vector<RPosting>& entry = postings_[id];
        const bool listed = std::any_of(entry.begin(), entry.end(),
                                        [text_id](const RPosting& p) { return p.text_id == text_id; });
        if (!listed) {
            entry.push_back(RPosting{text_id, row_id, &record});
        }
    }
    if (row_id >= 0 && row_id < dense_rows && row_id >= static_cast<long>(seen_.size())) {
        seen_.resize(static_cast<std::size_t>(row_id) + 1, RSeen{0, 0, -1, nullptr});
    }
}

void CTextIndex::drop(long text_id) {
    auto found = texts_.find(text_id);
    if (found == texts_.end()) {
        return;
    }
    for (const std::wstring& word :
         tokenize(wide_string(string::weak_string<wchar_t>(*found->second.text)))) {
        const long id = words_.find(word);
        if (id < 0 || id >= static_cast<long>(postings_.size())) {
            continue;
        }
        std::vector<RPosting>& entry = postings_[id];
        // A repeated word was listed once, so its later repeats find nothing here.
        auto at = std::find_if(entry.begin(), entry.end(),
                               [text_id](const RPosting& p) { return p.text_id == text_id; });
        if (at != entry.end()) {
            *at = entry.back();
            entry.pop_back();
        }
    }
    texts_.erase(found);
}

wide_string CTextIndex::get_text(long text_id, long& row_id) const {
    auto found = texts_.find(text_id);
    if (found == texts_.end()) {
        row_id = -1;
        return wide_string();
    }
    row_id = found->second.row_id;
    return wide_string(string::weak_string<wchar_t>(*found->second.text));
}

wide_string CTextIndex::get_text(long text_id) const {
    long row_id = -1;
    return get_text(text_id, row_id);
}

long CTextIndex::text_count() const {
    return static_cast<long>(texts_.size());
}

std::uint32_t CTextIndex::next_pass() const {
    if (++pass_ == 0) {
        // Wrapped: old marks would look current.
        for (RSeen& seen : seen_) {
            seen = RSeen{0, 0, -1, nullptr};
        }
        pass_ = 1;
    }
    return pass_;
}

// Hits of one query word, and with `reached` the rows it reaches, ascending, one per row.
long CTextIndex::reach(const std::vector<long>& word_ids, bool first,
                       memory::CollectionMemory<RMatch, 256>* reached) const {
    long hits = 0;
    const std::uint32_t pass = reached != nullptr ? next_pass() : 0;
    std::vector<RMatch> others;
    long low = LONG_MAX;
    long high = -1;
    for (long id : word_ids) {
        if (id < 0 || id >= static_cast<long>(postings_.size())) {
            continue;
        }
        const std::vector<RPosting>& entry = postings_[id];
        hits += static_cast<long>(entry.size());
        if (reached == nullptr) {
            continue;
        }
        for (const RPosting& posting : entry) {
            const long row = posting.row_id;
            if (row < 0 || row >= static_cast<long>(seen_.size())) {
                others.push_back(RMatch{row, posting.text_id});
                continue;
            }
            RSeen& seen = seen_[row];
            if (seen.pass == pass) {
                continue;
            }
            seen.pass = pass;
            if (first) {
                // The first text to reach a row stands for it.
                seen.first_pass = pass;
                seen.text_id = posting.text_id;
                seen.text = posting.text;
            }
            low = std::min(low, row);
            high = std::max(high, row);
        }
    }
    if (reached == nullptr) {
        return hits;
    }
    // Rows come out ascending, which the set takes without sorting.
    for (long row = low; row <= high; ++row) {
        if (seen_[row].pass == pass) {
            reached->add(RMatch{row, first ? seen_[row].text_id : -1});
        }
    }
    for (const RMatch& other : others) {
        reached->add(other);
    }
    return hits;
}

void CTextIndex::match(const string::weak_string<wchar_t>& query, CSearchResult& result) const {
    result.clear();
    result.set_query(query);
    const std::vector<std::wstring> words = tokenize(wide_string(query));
    if (words.empty()) {
        return;
    }

    memory::CollectionMemory<RMatch, 256> candidates;
    std::vector<long> word_ids;
    std::uint32_t first_pass = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
        words_.find_containing(words[i], word_ids);
        long hits = 0;
        if (i == 0) {
            // The first word's rows are the candidates: ascending and one per row already.
            hits = reach(word_ids, true, &candidates);
            first_pass = pass_;
        } else if (candidates.count() > 0) {
            memory::CollectionMemory<RMatch, 256> reached;
            hits = reach(word_ids, false, &reached);
            reached.intersect(candidates); // keeps the texts the first word reached
        } else {
            hits = reach(word_ids, false, nullptr); // nothing left: only counted
        }
        result.add_word(RQueryWord{words[i], hits});
    }
    candidates.make_unique();

    result.reserve_rows(candidates.count());
    for (const RMatch& hit : candidates) {
        const RText* text = nullptr;
        if (hit.row_id >= 0 && hit.row_id < static_cast<long>(seen_.size()) &&
            seen_[hit.row_id].first_pass == first_pass) {
            text = seen_[hit.row_id].text;
        } else {
            auto found = texts_.find(hit.text_id);
            text = found != texts_.end() ? &found->second : nullptr;
        }
        if (text != nullptr) {
            result.add_row(RResultRow{text->text, hit.text_id, text->row_id});
        } else {
            result.add_row(RResultRow{empty_text(), hit.text_id, -1});
        }
    }
}

} // namespace search
