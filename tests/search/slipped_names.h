#pragma once
// Test helper: queries made from the index's names as people mistype them, one slip each, and
// abbreviations by the first letters of each part of a name.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "search/catalogue.h"
#include "search/tokenize.h"
#include "xml/parse_xml.h"

namespace test {

enum class ESlip { swapped, left_out, doubled, beside, abbreviated };

struct RSlipped {
    std::wstring name;
    std::wstring query;
    ESlip kind;
};

// The key beside a letter on a QWERTY keyboard, in its row.
inline wchar_t key_beside(wchar_t c) {
    static const std::wstring keys = L"qwertyuiop asdfghjkl zxcvbnm ";
    const std::size_t at = keys.find(search::unmarked(c));
    return at == std::wstring::npos ? L'x' : keys[at + 1] != L' ' ? keys[at + 1] : keys[at - 1];
}

// The index's short names by the catalogue's row ids: none for the web-search row (0), then one
// per entry in document order.
inline std::vector<std::wstring> titles_by_row(HMODULE module) {
    memory::ChunkedMemory<char, 128> text;
    xml::CParseXml parser;
    std::vector<std::wstring> titles(1);
    if (search::read_documentation(module, text) && parser.parse(text.data())) {
        for (const xml::RSingleDoc& doc : parser.docs()) {
            titles.push_back(string::to_standard(doc.Title));
        }
    }
    return titles;
}

// The names, each once: its longest run of at least five letters slipped once of
// each kind (a letter left out only where five remain), never at its first letter, where `seed`
// says; and a name of two parts or more by the first two letters of each (camel case parts too:
// "toAnsiString" as "toanst").
inline std::vector<RSlipped> slipped_names(std::vector<std::wstring> names, unsigned seed) {
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::mt19937 random(seed);
    std::vector<RSlipped> slipped;
    for (const std::wstring& name : names) {
        std::size_t at = 0, length = 0, part_at = 0;
        std::wstring abbreviation;
        int parts = 0;
        for (std::size_t i = 0, run = 0; i <= name.size(); ++i) {
            const bool letter = i < name.size() && search::char_class(name[i]) == search::ECharClass::letter;
            const bool part = letter && (run == 0 || (iswupper(name[i]) && iswlower(name[i - 1])));
            if (part || (letter && i == part_at + 1)) {
                abbreviation += name[i]; // a part's first two letters
                part_at = part ? i : part_at;
                parts += part ? 1 : 0;
            }
            run = letter ? run + 1 : 0;
            if (run > length) {
                at = i + 1 - run;
                length = run;
            }
        }
        if (parts >= 2 && abbreviation.size() >= 3) {
            slipped.push_back({name, abbreviation, ESlip::abbreviated});
        }
        if (length < 5) {
            continue;
        }
        const std::size_t i = at + 1 + random() % (length - 2); // a slip after the first letter
        std::wstring query = name;
        if (query[i] != query[i + 1]) {
            std::swap(query[i], query[i + 1]);
            slipped.push_back({name, query, ESlip::swapped});
        }
        if (length > 5) { // still a word that forgives a slip
            slipped.push_back({name, std::wstring(name).erase(i, 1), ESlip::left_out});
        }
        slipped.push_back({name, std::wstring(name).insert(i, 1, name[i]), ESlip::doubled});
        query = name;
        query[i] = key_beside(towlower(query[i]));
        slipped.push_back({name, query, ESlip::beside});
    }
    return slipped;
}

} // namespace test
