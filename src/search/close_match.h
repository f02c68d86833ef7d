#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace search {

// The entries' names (their Titles), for the rows shown after the search's own: names a query
// reaches with one slip per word ("pritnf", "prinf", "printff", "ptintf" reach printf) or as an
// abbreviation ("eqran" reaches equal_range), letters compared by the search's rule. Names are
// prepared once, at load; a query is then one pass over them. GUI thread only.
class CCloseMatcher {
public:
    // Query words shorter than these forgive no slip, no abbreviation: too many names lie that
    // close to them.
    static constexpr std::size_t SLIP_LENGTH = 5;
    static constexpr std::size_t ABBREVIATION_LENGTH = 3;

    CCloseMatcher() = default;
    CCloseMatcher(const CCloseMatcher&) = delete;
    CCloseMatcher& operator=(const CCloseMatcher&) = delete;

    void add(long row_id, const std::wstring& name);
    // Empties `rows`, then adds at most `limit` rows whose names every query word (case-folded, as
    // tokenize cuts them) reaches, one word at least only with a slip or as an abbreviation; rows
    // in `skipped` (ascending) are left out. Best first: names reached without abbreviating, by
    // fewer slips, later ones, ones that leave less of the name's word; then abbreviations, by
    // fewer jumps; ties go to the shorter name, then by name.
    void find(const std::vector<std::wstring>& words, const std::vector<long>& skipped, std::size_t limit,
              std::vector<long>& rows) const;

private:
    // How a name was reached, compared member by member: less is better.
    struct RScore {
        int abbreviations = 0;
        int slips = 0;
        int early = 0; // minus the sum of the slips' positions: a slip late in a word is likelier
        int left = 0;  // letters of the slipped words of the name the query leaves out
        int jumps = 0;
    };
    // A slip and what of the name's word the query leaves out after it; `at` 0 for none, as the
    // first letter is never the slip.
    struct RSlip {
        std::size_t at = 0;
        std::size_t left = 0;
    };
    struct RName {
        long row_id;
        std::wstring folded;
        // Per unit: its class, and whether a part of the name starts there (at its start, after
        // '_', "::" or a space, at a digit or at a capital).
        std::vector<std::uint8_t> units;
        std::size_t first_part; // the name's first letter or digit; its length when none
    };

    bool reach(const RName& name, const std::wstring& word, RScore& score) const;
    // The one slip that makes the word the start of the name's run of letters (or digits) from
    // `at`.
    static RSlip slip_at(const RName& name, std::size_t at, const std::wstring& word);
    // Fewest jumps of the word as an abbreviation of the name; -1 when it is none.
    int abbreviation_jumps(const RName& name, const std::wstring& word) const;

    std::vector<RName> names_;
    mutable std::vector<int> jumps_; // scratch of abbreviation_jumps: two rows as long as the longest name
};

} // namespace search
