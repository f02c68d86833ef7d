#!/usr/bin/env python3
"""Builds resources/documentation.xml from the topic tables in tables/*.tsv.

Table format (UTF-8, one entry per line, read in file name order):
    # comment (a hash and a space; "#include" is an entry)
    @lang C | C++        language of the following entries
    @kind słowo kluczowe default kind of the following entries
    @id 120              Id of the next entry (must exceed the previous one)
    name<TAB>description
    name<TAB>kind<TAB>description
A kind written as "=text" makes "text" the whole full title (otherwise the full
title is "name - lang | kind"). Entries without @id take the previous Id + 1.

Every property the program and its tests rely on is checked before writing;
any broken one stops the script with a message and exit status 1.

Usage: generate.py            write the XML
       generate.py --check    only verify that the committed XML is up to date
"""
import glob
import os
import re
import sys
import unicodedata
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
OUTPUT = os.path.join(ROOT, "resources", "documentation.xml")

ENTRY_COUNT = 788
LAST_ID = 1069
MAX_TITLE, MAX_FULL_TITLE, MAX_DESCRIPTION = 33, 61, 299

# GroupId, FullTitle Id, ShortDescription Id of the first three entries; later
# entries get running numbers (full titles even, descriptions odd, so the two
# kinds of text id never collide: the search index keys texts by id alone).
HEAD_IDS = [(1, 2, 1093), (3, 6, 1091), (4, 8, 1783)]
FIRST_GROUP, FIRST_FULL_TITLE_ID, FIRST_DESCRIPTION_ID = 5, 10, 1785

EXPECTED_HEAD = [
    (1, 1, "C", 2, "C - Dokumentacja C i C++ | standard", 1093,
     "Narzędzia, które wywodzą się ze standardu języka C."),
    (2, 3, "C++", 6, "C++ - Dokumentacja C i C++ | standard", 1091,
     "Narzędzia, które należą do standardu C++."),
    (3, 4, "Słowa kluczowe", 8, "Słowa kluczowe - C", 1783,
     "Wykaz słów kluczowych, które pojawiły się w standardzie języka C."),
]

# Texts are limited to printable ASCII and Polish letters, so the generator's
# tokenizer and the program's (IsCharAlphaW, ASCII digits) agree on every text.
ALLOWED = set(chr(c) for c in range(0x20, 0x7F)) | set("ąćęłńóśźżĄĆĘŁŃÓŚŹŻ")

FULL_TITLE_SHAPE = re.compile(r"^(.+) - (C|C\+\+)(?: \| (.+))?$")


class Entry:
    def __init__(self, source, id_, title, full_title, description):
        self.source = source
        self.id = id_
        self.title = title
        self.full_title = full_title
        self.description = description
        self.group_id = self.full_title_id = self.description_id = None


class CheckError(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckError(message)


def units(text):
    """Length in UTF-16 code units, as the program counts it."""
    return len(text.encode("utf-16-le")) // 2


def char_class(c):
    if "0" <= c <= "9" or unicodedata.category(c) == "Nd":
        return "digit"
    if c.isalpha():
        return "letter"
    if c.isspace():
        return "space"
    return "symbol"


def tokenize(text):
    """Maximal runs of one character class, lower case; spaces only separate."""
    words, word, previous = [], "", "space"
    for c in text.lower():
        k = char_class(c)
        if k != previous:
            if word:
                words.append(word)
            word = ""
        if k != "space":
            word += c
        previous = k
    if word:
        words.append(word)
    return words


def read_tables(paths):
    entries = []
    next_id = 1
    for path in paths:
        lang, kind = None, None
        name = os.path.basename(path)
        with open(path, encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                where = "%s:%d" % (name, number)
                line = line.rstrip("\n")
                if not line.strip() or line == "#" or line.startswith("# "):
                    continue
                if line.startswith("@"):
                    key, _, value = line[1:].partition(" ")
                    value = value.strip()
                    if key == "lang":
                        check(value in ("C", "C++"), where + ": language must be C or C++")
                        lang = value
                    elif key == "kind":
                        kind = value
                    elif key == "id":
                        check(value.isdigit() and int(value) >= next_id,
                              where + ": @id must not go back (next free Id is %d)" % next_id)
                        next_id = int(value)
                    else:
                        raise CheckError(where + ": unknown directive @" + key)
                    continue
                fields = line.split("\t")
                check(len(fields) in (2, 3), where + ": expected 2 or 3 tab-separated fields")
                title = fields[0]
                row_kind = fields[1] if len(fields) == 3 else kind
                description = fields[-1]
                check(row_kind, where + ": no kind")
                if row_kind.startswith("="):
                    full_title = row_kind[1:]
                else:
                    check(lang, where + ": no language")
                    full_title = "%s - %s | %s" % (title, lang, row_kind)
                entries.append(Entry(where, next_id, title, full_title, description))
                next_id += 1
    return entries


def assign_ids(entries):
    for i, e in enumerate(entries):
        if i < len(HEAD_IDS):
            e.group_id, e.full_title_id, e.description_id = HEAD_IDS[i]
        else:
            k = i - len(HEAD_IDS)
            e.group_id = FIRST_GROUP + k
            e.full_title_id = FIRST_FULL_TITLE_ID + 2 * k
            e.description_id = FIRST_DESCRIPTION_ID + 2 * k


def words_of(e, with_title=False):
    texts = [e.full_title, e.description] + ([e.title] if with_title else [])
    return [w for t in texts for w in tokenize(t)]


def has_word(e, fragment, with_title=False):
    return any(fragment in w for w in words_of(e, with_title))


def search(entries, query):
    """Rows (entry Ids) whose full title or description reach every query word."""
    words = tokenize(query)
    if not words:
        return [], []
    rows = None
    hits = []
    for w in words:
        reached = {e.id for e in entries if has_word(e, w)}
        hits.append(len(reached))
        rows = reached if rows is None else rows & reached
    return sorted(rows), hits


def check_entries(entries):
    check(len(entries) == ENTRY_COUNT, "expected %d entries, found %d" % (ENTRY_COUNT, len(entries)))
    ids = [e.id for e in entries]
    check(ids[0] == 1 and ids[-1] == LAST_ID, "Ids must run from 1 to %d, found %d..%d" % (LAST_ID, ids[0], ids[-1]))
    check(all(a < b for a, b in zip(ids, ids[1:])), "Ids must ascend")
    for attr in ("group_id", "full_title_id", "description_id"):
        values = [getattr(e, attr) for e in entries]
        check(len(set(values)) == len(values), attr + " values must be unique")
    text_ids = [e.full_title_id for e in entries] + [e.description_id for e in entries]
    check(len(set(text_ids)) == len(text_ids), "full title and description ids must not collide")

    for e, (id_, group, title, ft_id, ft, sd_id, sd) in zip(entries, EXPECTED_HEAD):
        check((e.id, e.group_id, e.title, e.full_title_id, e.full_title, e.description_id, e.description)
              == (id_, group, title, ft_id, ft, sd_id, sd), e.source + ": head entry differs from the required one")

    full_titles = [e.full_title for e in entries]
    check(len(set(full_titles)) == len(full_titles),
          "duplicate full titles: %s" % sorted({t for t in full_titles if full_titles.count(t) > 1}))
    free_shape = {"operator&="} | {h[4] for h in EXPECTED_HEAD}
    for e in entries:
        for text in (e.title, e.full_title, e.description):
            bad = sorted(set(text) - ALLOWED)
            check(not bad, "%s: characters outside the allowed set: %r" % (e.source, bad))
            check(text == text.strip() and "  " not in text, "%s: stray spaces in %r" % (e.source, text))
        check(e.title and e.full_title, e.source + ": empty title or full title")
        if e.full_title not in free_shape:
            m = FULL_TITLE_SHAPE.match(e.full_title)
            check(m and m.group(1) == e.title, "%s: full title %r is not 'title - lang | kind' (or 'title - lang' for a topic)" % (e.source, e.full_title))
        if e.description:
            check(e.description[-1] in ".)", "%s: description must end a sentence" % e.source)

    longest = lambda attr: max(units(getattr(e, attr)) for e in entries)
    check(longest("title") == MAX_TITLE, "longest Title must be %d, is %d" % (MAX_TITLE, longest("title")))
    check(longest("full_title") == MAX_FULL_TITLE,
          "longest FullTitle must be %d, is %d" % (MAX_FULL_TITLE, longest("full_title")))
    check(longest("description") == MAX_DESCRIPTION,
          "longest ShortDescription must be %d, is %d" % (MAX_DESCRIPTION, longest("description")))
    empty = [e.source for e in entries if not e.description]
    check(len(empty) == 1, "exactly one empty ShortDescription expected, found %s" % empty)

    everything = "".join(e.title + e.full_title + e.description for e in entries)
    for c in "&<>":
        check(c in everything, "no text needs the entity for %r" % c)
    check(sum(e.full_title == "operator&=" for e in entries) == 1, "exactly one full title operator&= expected")

    nine = [e for e in entries if e.id == 9]
    check(nine and nine[0].full_title == "inline - C | słowo kluczowe"
          and nine[0].description == "Wstawianie kodu funkcji w miejscu wywołania.", "entry 9 must be C's inline")
    inline = [e.source for e in entries if e.id != 9 and has_word(e, "inline", with_title=True)]
    check(not inline, "'inline' appears outside entry 9: %s" % inline)

    printf = [e for e in entries if has_word(e, "printf")]
    check(len(printf) == 5, "exactly five entries with 'printf' expected: %s" % [e.full_title for e in printf])
    printf_titles = {e.full_title for e in printf}
    check({"printf - C | funkcja", "sprintf - C | funkcja"} <= printf_titles, "printf and sprintf must be among them")

    scope = [e for e in entries if has_word(e, "::", with_title=True)]
    check(len(scope) == 3, "exactly three entries with '::' expected: %s" % [e.source for e in scope])
    for e in scope:
        check("sf::String" in e.description or "std::deque" in e.description,
              e.source + ": '::' only in texts about sf::String or std::deque")
        check(not any("::" in w for w in tokenize(e.full_title) + tokenize(e.title)),
              e.source + ": '::' belongs in the description")
        check(not (has_word(e, "std") and has_word(e, "vector")), e.source + ": mentions both std and vector")
    zzz = [e.source for e in entries if has_word(e, "zzz", with_title=True)]
    check(not zzz, "'zzz' must not occur: %s" % zzz)

    # The search examples the program's tests rely on.
    for query in ("inline", "INLINE", "Inline "):
        check(search(entries, query)[0] == [9], "query %r must find only entry 9" % query)
    rows, _ = search(entries, "printf")
    check(len(rows) == 5, "query 'printf' must find five rows")
    rows, hits = search(entries, "std::vector")
    check(rows == [] and len(hits) == 3 and all(hits) and hits[1] == 3,
          "query 'std::vector' must reach rows per word but none for all: %s" % hits)
    rows, hits = search(entries, "zzz")
    check(rows == [] and hits == [0], "query 'zzz' must reach nothing")


def render(entries):
    out = ['<?xml version="1.0" encoding="utf-8"?>', "<Pelikant>", "  <Dokumentacja>", "    <Container>"]
    for e in entries:
        out.append('      <SingleDoc Id="%d" GroupId="%d">' % (e.id, e.group_id))
        out.append("        <Title>%s</Title>" % escape(e.title))
        out.append('        <FullTitle Id="%d">%s</FullTitle>' % (e.full_title_id, escape(e.full_title)))
        out.append('        <ShortDescription Id="%d">%s</ShortDescription>' % (e.description_id, escape(e.description)))
        out.append("      </SingleDoc>")
    out += ["    </Container>", "  </Dokumentacja>", "</Pelikant>", ""]
    return "\n".join(out).encode("utf-8")


def check_document(data, entries):
    """Reads the rendered bytes back as an XML parser would."""
    import xml.etree.ElementTree as ET
    check(data.startswith(b'<?xml version="1.0" encoding="utf-8"?>\n<Pelikant>'), "bad declaration or root")
    check(b"operator&amp;=</FullTitle>" in data and b"&amp;amp;" not in data, "operator&= must be encoded once")
    root = ET.fromstring(data)
    docs = root.find("Dokumentacja").find("Container").findall("SingleDoc")
    check(len(docs) == len(entries), "rendered entry count differs")
    for d, e in zip(docs, entries):
        ft, sd = d.find("FullTitle"), d.find("ShortDescription")
        got = (int(d.get("Id")), int(d.get("GroupId")), d.find("Title").text, int(ft.get("Id")), ft.text,
               int(sd.get("Id")), sd.text or "")
        check(got == (e.id, e.group_id, e.title, e.full_title_id, e.full_title, e.description_id, e.description),
              e.source + ": entry does not read back as written")


def build(table_dir=os.path.join(HERE, "tables")):
    entries = read_tables(sorted(glob.glob(os.path.join(table_dir, "*.tsv"))))
    assign_ids(entries)
    check_entries(entries)
    data = render(entries)
    check_document(data, entries)
    return entries, data


def main(argv):
    try:
        entries, data = build()
    except CheckError as e:
        print("generate.py: FAILED: %s" % e, file=sys.stderr)
        return 1
    if "--check" in argv:
        with open(OUTPUT, "rb") as f:
            if f.read() != data:
                print("generate.py: %s is out of date; run tools/docindex/generate.py" % OUTPUT, file=sys.stderr)
                return 1
        print("generate.py: %d entries, all checks passed, XML up to date" % len(entries))
        return 0
    with open(OUTPUT, "wb") as f:
        f.write(data)
    print("generate.py: %d entries, all checks passed, wrote %s" % (len(entries), OUTPUT))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
