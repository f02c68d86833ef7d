// Time per keystroke of the documentation search, typing real queries one character at a time
// and deleting them back to empty, over the index embedded in pelikant.exe (beside this program).
//
// Columns: CTextIndex::match, and a straightforward baseline that scans lower-cased copies of all
// texts with a substring search per query word and intersects the rows. Both run in the same loop,
// in turns, and must give the same rows. Also the heap the loaded documentation (index, rows and
// names) holds, counted by this program's operator new.
//
// Then the match with its close matches per keystroke, over the queries above and a few hundred of
// the index's names mistyped; and, for every name mistyped once of each kind or abbreviated, where
// it comes among the rows shown.

#include "../tests/search/embedded_index.h"
#include "../tests/search/slipped_names.h"

#include "memory/collection.h"
#include "search/catalogue.h"
#include "xml/parse_xml.h"
#include "search/text_index.h"
#include "search/search_result.h"
#include "search/tokenize.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <new>
#include <string>
#include <vector>

using namespace search;
using namespace xml;

namespace {

// Live heap bytes: every block carries its size in front.
std::atomic<long long> heap_bytes{0};
constexpr std::size_t header_size = 16;

} // namespace

void* operator new(std::size_t size) {
    void* block = std::malloc(size + header_size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t*>(block) = size;
    heap_bytes += static_cast<long long>(size);
    return static_cast<char*>(block) + header_size;
}

void operator delete(void* p) noexcept {
    if (p == nullptr) {
        return;
    }
    void* block = static_cast<char*>(p) - header_size;
    heap_bytes -= static_cast<long long>(*static_cast<std::size_t*>(block));
    std::free(block);
}

void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

using Clock = std::chrono::steady_clock;

// The baseline: every text lower-cased once, then a plain scan per query word.
class CBaseline {
public:
    explicit CBaseline(const std::vector<RSingleDoc>& docs) {
        for (const RSingleDoc& doc : docs) {
            titles_.push_back(lower(doc.FullTitle));
            descriptions_.push_back(lower(doc.ShortDescription));
        }
    }

    std::vector<long> rows(const std::wstring& query) const {
        std::vector<long> rows;
        const std::vector<std::wstring> words = tokenize(query.c_str());
        for (std::size_t i = 0; i < words.size(); ++i) {
            std::vector<long> reached;
            for (std::size_t d = 0; d < titles_.size(); ++d) {
                if (contains(titles_[d], words[i]) || contains(descriptions_[d], words[i])) {
                    reached.push_back(static_cast<long>(d) + 1);
                }
            }
            if (i == 0) {
                rows.swap(reached);
            } else {
                std::vector<long> both;
                std::set_intersection(rows.begin(), rows.end(), reached.begin(), reached.end(),
                                      std::back_inserter(both));
                rows.swap(both);
            }
        }
        return rows;
    }

private:
    // A letter typed without its mark also finds the marked one.
    static bool contains(const std::wstring& text, const std::wstring& word) {
        for (std::size_t at = 0; at + word.size() <= text.size(); ++at) {
            if (starts_with_loosely(text.c_str() + at, text.size() - at, word.c_str(), word.size())) {
                return true;
            }
        }
        return false;
    }

    static std::wstring lower(const wide_string& text) {
        std::wstring out;
        folded_copy(text.c_str(), text.length(), out);
        return out;
    }

    std::vector<std::wstring> titles_;
    std::vector<std::wstring> descriptions_;
};

std::vector<long> rows_of(const CSearchResult& result) {
    std::vector<long> rows;
    for (const RResultRow& row : result.rows()) {
        rows.push_back(row.row_id);
    }
    return rows;
}

// Every state of the search box while typing the query and deleting it again.
std::vector<std::wstring> keystrokes(const std::wstring& query) {
    std::vector<std::wstring> states;
    for (std::size_t n = 1; n <= query.size(); ++n) {
        states.push_back(query.substr(0, n));
    }
    for (std::size_t n = query.size(); n-- > 0;) {
        states.push_back(query.substr(0, n));
    }
    return states;
}

struct RFigures {
    double median = 0; // microseconds
    double p99 = 0;
    double worst = 0;
};

RFigures figures(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    RFigures f;
    if (!us.empty()) {
        f.median = us[us.size() / 2];
        f.p99 = us[std::min(us.size() - 1, us.size() * 99 / 100)];
        f.worst = us.back();
    }
    return f;
}

double since(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

std::string utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

// Pads to `width` characters, not bytes.
std::string padded(const std::wstring& text, std::size_t width) {
    return utf8(text) + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

// Per keystroke state of the queries, the median of a few rounds (spread over the run, so that a
// pause of the machine does not cover all of them) of the search's match alone and of the match
// with its close matches; over all states, their median and their worst.
void close_match_times(const CCatalogue& loaded, const std::vector<std::wstring>& queries, RFigures& alone,
                       RFigures& with_close) {
    std::vector<std::wstring> states;
    for (const std::wstring& query : queries) {
        const std::vector<std::wstring> typed = keystrokes(query);
        states.insert(states.end(), typed.begin(), typed.end());
    }
    const int rounds = 5;
    std::vector<double> us[2];
    us[0].resize(states.size() * rounds);
    us[1].resize(states.size() * rounds);
    std::vector<long> close;
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < states.size(); ++i) {
            for (int with = 0; with < 2; ++with) {
                const Clock::time_point start = Clock::now();
                CSearchResult result;
                loaded.index().match(states[i].c_str(), result);
                if (with == 1) {
                    loaded.close_matches(result, close);
                }
                us[with][i * rounds + round] = since(start);
            }
        }
    }
    std::vector<double> per_state[2];
    for (int with = 0; with < 2; ++with) {
        for (std::size_t i = 0; i < states.size(); ++i) {
            const auto from = us[with].begin() + static_cast<std::ptrdiff_t>(i * rounds);
            per_state[with].push_back(figures(std::vector<double>(from, from + rounds)).median);
        }
    }
    alone = figures(per_state[0]);
    with_close = figures(per_state[1]);
}

// Where the slipped names come in the rows shown: first, or within the first three.
void print_ranks(CCatalogue& loaded, const std::vector<std::wstring>& titles,
                 const std::vector<test::RSlipped>& slipped) {
    const char* kinds[] = {"two letters swapped", "a letter left out", "a letter doubled", "the key beside",
                           "abbreviation"};
    int first[5] = {}, three[5] = {}, all[5] = {};
    for (const test::RSlipped& s : slipped) {
        const int kind = static_cast<int>(s.kind);
        const std::vector<RDisplayRow> rows = loaded.search(s.query.c_str());
        for (std::size_t i = 0; i < rows.size() && i < 3; ++i) {
            if (titles[rows[i].row_id] == s.name) {
                first[kind] += i == 0 ? 1 : 0;
                three[kind] += 1;
                break;
            }
        }
        ++all[kind];
    }
    std::printf("\nthe index's names mistyped: where the name comes among the rows shown\n");
    std::printf("%-22s %6s %6s %8s\n", "kind", "names", "first", "in three");
    for (int kind = 0; kind < 5; ++kind) {
        std::printf("%-22s %6d %6d %8d\n", kinds[kind], all[kind], first[kind], three[kind]);
    }
}

} // namespace

int main() {
    const test::CShippedModule shipped;
    memory::ChunkedMemory<char, 128> text;
    CParseXml parser;
    if (!read_documentation(shipped.get(), text) || !parser.parse(text.data())) {
        std::printf("pelikant.exe (beside this program) has no documentation index\n");
        return 1;
    }
    const std::vector<RSingleDoc>& docs = parser.docs();
    CTextIndex db;
    long row = 1; // row 0 is the web search
    for (const RSingleDoc& doc : docs) {
        db.add(doc.FullTitleId, doc.FullTitle, row);
        db.add(doc.ShortDescriptionId, doc.ShortDescription, row);
        ++row;
    }
    const CBaseline baseline(docs);
    const long long before = heap_bytes.load();
    CCatalogue loaded(RSiteUrls{"http://127.0.0.1:8765", "https://www.google.com"});
    loaded.load_documentation(shipped.get());
    std::printf("heap held by the loaded documentation (index, rows, dictionary, titles): %.1f KiB\n",
                static_cast<double>(heap_bytes.load() - before) / 1024.0);

    // The last two typed without Polish marks, as most people type.
    const std::wstring queries[] = {L"printf",   L"std::vector",   L"łańcuch znaków",     L"operator",
                                    L"c++",      L"Inline",        L"sortowanie tablicy", L"a",
                                    L"wskaznik", L"slowo kluczowe"};
    const int rounds = 200;
    std::printf("%zu entries, %ld indexed texts, %ld words in the dictionary; %d rounds per query\n",
                docs.size(), db.text_count(), db.words().count(), rounds);
    std::printf("times per keystroke in microseconds, typing each query and deleting it back to empty\n\n");
    std::printf("%-20s %5s | %9s %9s | %9s %9s | %6s  %s\n", "query", "keys", "match med", "p99", "base med",
                "p99", "ratio", "target");

    int met = 0;
    long mismatches = 0;
    std::vector<double> all_match;
    std::vector<double> all_base;
    for (const std::wstring& query : queries) {
        const std::vector<std::wstring> states = keystrokes(query);
        std::vector<double> t_match;
        std::vector<double> t_base;
        for (int round = 0; round < rounds; ++round) {
            for (const std::wstring& state : states) {
                // Each search gets a fresh result, as the application does.
                Clock::time_point start = Clock::now();
                CSearchResult result;
                db.match(state.c_str(), result);
                t_match.push_back(since(start));

                start = Clock::now();
                const std::vector<long> base_rows = baseline.rows(state);
                t_base.push_back(since(start));

                if (round == 0 && rows_of(result) != base_rows) {
                    ++mismatches;
                    std::printf("rows differ for '%s'\n", utf8(state).c_str());
                }
            }
        }
        all_match.insert(all_match.end(), t_match.begin(), t_match.end());
        all_base.insert(all_base.end(), t_base.begin(), t_base.end());
        const RFigures m = figures(t_match);
        const RFigures b = figures(t_base);
        const bool ok = m.median <= b.median && m.p99 < 1000.0;
        met += ok ? 1 : 0;
        std::printf("%s %5zu | %9.1f %9.1f | %9.1f %9.1f | %6.2f  %s\n",
                    padded(L"'" + query + L"'", 20).c_str(), states.size(), m.median, m.p99, b.median, b.p99,
                    m.median / b.median, ok ? "met" : "missed");
    }
    const RFigures m = figures(all_match);
    const RFigures b = figures(all_base);
    std::printf("%-20s %5zu | %9.1f %9.1f | %9.1f %9.1f | %6.2f\n", "(all keystrokes)",
                all_match.size() / rounds, m.median, m.p99, b.median, b.p99, m.median / b.median);
    std::printf("\nmatch: base = lower-cased texts scanned per word\n");
    std::printf("rows differing between the two: %ld\n", mismatches);
    std::printf("target (match median <= baseline median, match p99 < 1000 us) met on %d of %zu queries\n",
                met, sizeof(queries) / sizeof(queries[0]));

    const std::vector<std::wstring> titles = test::titles_by_row(shipped.get());
    const std::vector<test::RSlipped> slipped = test::slipped_names(titles, 20240601);
    std::vector<std::wstring> typed(std::begin(queries), std::end(queries));
    for (std::size_t i = 0; i < slipped.size(); i += 5) {
        typed.push_back(slipped[i].query);
    }
    RFigures alone, close;
    close_match_times(loaded, typed, alone, close);
    std::printf("\nper keystroke (median of 5 rounds each) over %zu queries, %zu of them slipped, in us:\n"
                "match alone: median %.1f, worst %.1f; with close matches: median %.1f, worst %.1f "
                "(target: worst at most 1000) %s\n",
                typed.size(), typed.size() - sizeof(queries) / sizeof(queries[0]), alone.median, alone.worst,
                close.median, close.worst, close.worst <= 1000.0 ? "met" : "NOT met");
    print_ranks(loaded, titles, slipped);
    return mismatches == 0 ? 0 : 1;
}
