#include "search/close_match.h"

#include <algorithm>
#include <climits>
#include <tuple>

#include "search/tokenize.h"

namespace search {

namespace {

// Per unit of a prepared name: its class in the low bits, and whether a part starts there.
const std::uint8_t CLASS_BITS = 0x03;
const std::uint8_t PART_START = 0x04;

std::uint8_t class_bits(ECharClass k) {
    return static_cast<std::uint8_t>(k);
}

bool alphanumeric(ECharClass k) {
    return k == ECharClass::letter || k == ECharClass::digit;
}

const int NO_WAY = INT_MAX;

} // namespace

void CCloseMatcher::add(long row_id, const std::wstring& name) {
    RName prepared{row_id, std::wstring(), std::vector<std::uint8_t>(), name.size()};
    if (!folded_copy(name.c_str(), static_cast<std::int32_t>(name.size()), prepared.folded)) {
        return;
    }
    prepared.units.resize(name.size());
    ECharClass previous = ECharClass::space;
    bool previous_lower = false;
    for (std::size_t k = 0; k < name.size(); ++k) {
        const ECharClass kind = char_class(name[k]);
        // Folding changes exactly the capitals; a capital after a small letter starts a part
        // ("toAnsiString"), one in a run of capitals ("EXIT") does not.
        const bool capital = kind == ECharClass::letter && prepared.folded[k] != name[k];
        const bool starts = alphanumeric(kind) && (kind != previous || (capital && previous_lower));
        prepared.units[k] = static_cast<std::uint8_t>(class_bits(kind) | (starts ? PART_START : 0));
        if (starts && prepared.first_part == name.size()) {
            prepared.first_part = k;
        }
        previous = kind;
        previous_lower = kind == ECharClass::letter && !capital;
    }
    if (name.size() > jumps_.size() / 2) {
        jumps_.resize(2 * name.size());
    }
    names_.push_back(std::move(prepared));
}

CCloseMatcher::RSlip CCloseMatcher::slip_at(const RName& name, std::size_t at, const std::wstring& word) {
    const wchar_t* text = name.folded.data() + at;
    const std::uint8_t kind = name.units[at] & CLASS_BITS;
    std::size_t run = 1;
    while (at + run < name.units.size() && (name.units[at + run] & CLASS_BITS) == kind) {
        ++run;
    }
    const std::size_t m = word.size();
    const wchar_t* typed = word.data();
    if (!letter_matches(typed[0], text[0])) {
        return RSlip();
    }
    std::size_t i = 1;
    while (i < m && i < run && letter_matches(typed[i], text[i])) {
        ++i;
    }
    if (i == m) {
        return RSlip(); // the word is the run's start: no slip
    }
    // Where the rest of the word, from `from`, starts the rest of the run, from `in`: what of the
    // run it leaves.
    RSlip slip;
    const auto rest = [&](std::size_t from, std::size_t in) {
        if (in > run || !starts_with_loosely(text + in, run - in, typed + from, m - from)) {
            return;
        }
        const std::size_t left = run - in - (m - from);
        slip = RSlip{i, slip.at != 0 ? std::min(slip.left, left) : left};
    };
    // An edit anywhere in an alignment can be moved to the first difference, so trying there is
    // enough: a letter replaced, one extra, one left out, two swapped.
    rest(i + 1, i + 1);
    rest(i + 1, i);
    rest(i, i + 1);
    if (i + 1 < m && i + 1 < run && letter_matches(typed[i], text[i + 1]) &&
        letter_matches(typed[i + 1], text[i])) {
        rest(i + 2, i + 2);
    }
    return slip;
}

int CCloseMatcher::abbreviation_jumps(const RName& name, const std::wstring& word) const {
    const std::size_t n = name.folded.size();
    if (word.size() < ABBREVIATION_LENGTH || name.first_part >= n ||
        !letter_matches(word[0], name.folded[name.first_part])) {
        return -1;
    }
    // Fewest jumps that put the letters so far with the last at unit j, for the letter before
    // and the one now.
    int* before = jumps_.data();
    int* now = jumps_.data() + n;
    std::fill(before, before + n, NO_WAY);
    before[name.first_part] = 0;
    for (std::size_t i = 1; i < word.size(); ++i) {
        int fewest = NO_WAY; // over the units before j - 1, from where the letter jumps to j
        bool any = false;
        for (std::size_t j = 0; j < n; ++j) {
            if (j >= 2) {
                fewest = std::min(fewest, before[j - 2]);
            }
            now[j] = NO_WAY;
            if (!letter_matches(word[i], name.folded[j])) {
                continue;
            }
            if (j >= 1) {
                now[j] = before[j - 1];
            }
            if ((name.units[j] & PART_START) != 0 && fewest != NO_WAY) {
                now[j] = std::min(now[j], fewest + 1);
            }
            any = any || now[j] != NO_WAY;
        }
        if (!any) {
            return -1;
        }
        std::swap(before, now);
    }
    const int fewest = *std::min_element(before, before + n);
    return fewest == NO_WAY ? -1 : fewest;
}

bool CCloseMatcher::reach(const RName& name, const std::wstring& word, RScore& score) const {
    const std::size_t m = word.size();
    const std::size_t n = name.folded.size();
    for (std::size_t at = 0; at + m <= n; ++at) {
        if (starts_with_loosely(name.folded.data() + at, n - at, word.data(), m)) {
            return true; // inside the name, as the search itself finds words
        }
    }
    RSlip best;
    if (m >= SLIP_LENGTH) {
        for (std::size_t at = name.first_part; at < n; ++at) {
            const RSlip slip = (name.units[at] & PART_START) != 0 ? slip_at(name, at, word) : RSlip();
            if (slip.at > best.at || (slip.at == best.at && slip.left < best.left)) {
                best = slip;
            }
        }
    }
    if (best.at > 0) {
        ++score.slips;
        score.early -= static_cast<int>(best.at);
        score.left += static_cast<int>(best.left);
        return true;
    }
    const int jumps = abbreviation_jumps(name, word);
    if (jumps < 0) {
        return false;
    }
    ++score.abbreviations;
    score.jumps += jumps;
    return true;
}

void CCloseMatcher::find(const std::vector<std::wstring>& words, const std::vector<long>& skipped,
                         std::size_t limit, std::vector<long>& rows) const {
    rows.clear();
    if (words.empty() || limit == 0) {
        return;
    }
    struct RFound {
        RScore score;
        const RName* name;
    };
    std::vector<RFound> found;
    for (const RName& name : names_) {
        RScore score;
        bool reached = true;
        for (const std::wstring& word : words) {
            if (word.empty() || !reach(name, word, score)) {
                reached = false;
                break;
            }
        }
        // A name that holds every word plainly is the search's own to show.
        if (!reached || (score.slips == 0 && score.abbreviations == 0) ||
            std::binary_search(skipped.begin(), skipped.end(), name.row_id)) {
            continue;
        }
        found.push_back(RFound{score, &name});
    }
    const auto better = [](const RFound& a, const RFound& b) {
        const RScore& x = a.score;
        const RScore& y = b.score;
        const std::size_t a_length = a.name->folded.size();
        const std::size_t b_length = b.name->folded.size();
        return std::tie(x.abbreviations, x.slips, x.early, x.left, x.jumps, a_length, a.name->folded,
                        a.name->row_id) < std::tie(y.abbreviations, y.slips, y.early, y.left, y.jumps,
                                                   b_length, b.name->folded, b.name->row_id);
    };
    const std::size_t kept = std::min(limit, found.size());
    std::partial_sort(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(kept), found.end(), better);
    for (std::size_t i = 0; i < kept; ++i) {
        rows.push_back(found[i].name->row_id);
    }
}

} // namespace search
