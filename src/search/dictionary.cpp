#include "search/dictionary.h"

#include <algorithm>

namespace search {

// ASCII letters and digits, the commonest units, get a bit each, so a one-unit fragment of them
// is decided by the bits alone; every other unit shares the remaining 28 bits by hash.
std::uint64_t CDictionary::unit_bit(wchar_t c) {
    if (c >= L'a' && c <= L'z') {
        return std::uint64_t(1) << (c - L'a');
    }
    if (c >= L'0' && c <= L'9') {
        return std::uint64_t(1) << (26 + c - L'0');
    }
    return std::uint64_t(1) << (36 + ((static_cast<std::uint32_t>(c) * 2654435761u) >> 16) % 28);
}

std::uint64_t CDictionary::unit_bits(const wchar_t* chars, std::size_t length) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < length; ++i) {
        bits |= unit_bit(chars[i]);
    }
    return bits;
}

long CDictionary::intern(const string::weak_string<wchar_t>& word) {
    std::wstring folded;
    if (!folded_copy(word.c_str(), word.length(), folded)) {
        return -1;
    }
    auto found = ids_.find(folded);
    if (found != ids_.end()) {
        return found->second;
    }
    const long id = static_cast<long>(spans_.size());
    RSpan span;
    span.start = static_cast<std::int32_t>(chars_.size());
    chars_.insert(chars_.end(), folded.begin(), folded.end());
    for (wchar_t c : folded) {
        unmarked_.push_back(unmarked(c));
    }
    span.units = unit_bits(folded.data(), folded.size());
    span.unmarked_units = unit_bits(unmarked_.data() + span.start, folded.size());
    span.end = static_cast<std::int32_t>(chars_.size());
    spans_.push_back(span);
    ids_.emplace(std::move(folded), id);
    return id;
}

long CDictionary::find(const string::weak_string<wchar_t>& word) const {
    std::wstring folded;
    if (!folded_copy(word.c_str(), word.length(), folded)) {
        return -1;
    }
    auto found = ids_.find(folded);
    return found != ids_.end() ? found->second : -1;
}

memory::CollectionMemory<long, 256>
CDictionary::find_containing(const string::weak_string<wchar_t>& fragment) const {
    std::vector<long> found;
    find_containing(fragment, found);
    memory::CollectionMemory<long, 256> ids;
    for (long id : found) {
        ids.add(id); // ascending ids keep the set sorted for free
    }
    return ids;
}

void CDictionary::find_containing(const string::weak_string<wchar_t>& fragment,
                                  std::vector<long>& ids) const {
    ids.clear();
    std::wstring folded;
    if (!folded_copy(fragment.c_str(), fragment.length(), folded)) {
        return;
    }
    // Words are found by the fragment's unmarked form; the letters typed with a mark must then
    // also be there as typed.
    std::wstring plain(folded);
    std::uint64_t marked_units = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        plain[i] = unmarked(folded[i]);
        if (plain[i] != folded[i]) {
            marked_units |= unit_bit(folded[i]);
        }
    }
    const std::int32_t n = static_cast<std::int32_t>(plain.size());
    const std::uint64_t units = unit_bits(plain.data(), plain.size());
    const bool bits_decide =
        n == 0 || (n == 1 && marked_units == 0 &&
                   ((plain[0] >= L'a' && plain[0] <= L'z') || (plain[0] >= L'0' && plain[0] <= L'9')));
    const auto marks_as_typed = [&](const wchar_t* typed) {
        for (std::int32_t i = 0; i < n; ++i) {
            if (plain[i] != folded[i] && typed[i] != folded[i]) {
                return false;
            }
        }
        return true;
    };
    const wchar_t* exact = chars_.data();
    const wchar_t* base = unmarked_.data();
    const long words = static_cast<long>(spans_.size());
    for (long id = 0; id < words; ++id) {
        const RSpan& span = spans_[id];
        if ((span.unmarked_units & units) != units || (span.units & marked_units) != marked_units) {
            continue;
        }
        if (bits_decide) {
            ids.push_back(id);
            continue;
        }
        const wchar_t* end = base + span.end;
        for (const wchar_t* at = std::search(base + span.start, end, plain.begin(), plain.end()); at != end;
             at = std::search(at + 1, end, plain.begin(), plain.end())) {
            if (marked_units == 0 || marks_as_typed(exact + (at - base))) {
                ids.push_back(id);
                break;
            }
        }
    }
}

long CDictionary::count() const {
    return static_cast<long>(spans_.size());
}

std::wstring CDictionary::word(long id) const {
    if (id < 0 || id >= static_cast<long>(spans_.size())) {
        return std::wstring();
    }
    return std::wstring(chars_.data() + spans_[id].start, chars_.data() + spans_[id].end);
}

} // namespace search
