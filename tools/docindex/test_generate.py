#!/usr/bin/env python3
"""Tests of the documentation index generator: its tokenizer, the committed XML, and
that each property check really fails when the tables break it.
Run: python3 -m unittest discover -s tools/docindex"""
import os
import shutil
import tempfile
import unittest
import xml.etree.ElementTree as ET

import generate

TABLES = os.path.join(generate.HERE, "tables")


class TokenizerTest(unittest.TestCase):
    def test_words_are_runs_of_one_class(self):
        self.assertEqual(generate.tokenize("C++ - Dokumentacja C i C++ | standard"),
                         ["c", "++", "-", "dokumentacja", "c", "i", "c", "++", "|", "standard"])
        self.assertEqual(generate.tokenize("int32_t"), ["int", "32", "_", "t"])
        self.assertEqual(generate.tokenize("a.b"), ["a", ".", "b"])
        self.assertEqual(generate.tokenize("x2y"), ["x", "2", "y"])
        self.assertEqual(generate.tokenize("Łańcuchy znaków, C"), ["łańcuchy", "znaków", ",", "c"])
        self.assertEqual(generate.tokenize("std::vector"), ["std", "::", "vector"])

    def test_spaces_are_not_words(self):
        self.assertEqual(generate.tokenize(""), [])
        self.assertEqual(generate.tokenize(" \t\n "), [])

    def test_units_count_utf16(self):
        self.assertEqual(generate.units("Zakończ"), 7)


class CommittedIndexTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.entries, cls.data = generate.build()

    def test_committed_xml_is_up_to_date(self):
        with open(generate.OUTPUT, "rb") as f:
            self.assertEqual(f.read(), self.data, "run tools/docindex/generate.py")

    def test_xml_reads_back(self):
        root = ET.fromstring(self.data)
        self.assertEqual(root.tag, "Pelikant")
        docs = root.find("Dokumentacja").find("Container").findall("SingleDoc")
        self.assertEqual(len(docs), 788)
        self.assertEqual([d.get("Id") for d in docs[:3]], ["1", "2", "3"])
        self.assertEqual(docs[-1].get("Id"), "1069")
        nine = [d for d in docs if d.get("Id") == "9"][0]
        self.assertEqual(nine.find("FullTitle").text, "inline - C | słowo kluczowe")
        self.assertEqual(nine.find("ShortDescription").text, "Wstawianie kodu funkcji w miejscu wywołania.")
        texts = [d.find("FullTitle").text for d in docs]
        self.assertIn("operator&=", texts)
        self.assertNotIn("operator&amp;=", texts)

    def test_search_examples(self):
        self.assertEqual(generate.search(self.entries, "inline")[0], [9])
        self.assertEqual(len(generate.search(self.entries, "printf")[0]), 5)
        rows, hits = generate.search(self.entries, "std::vector")
        self.assertEqual(rows, [])
        self.assertEqual(hits[1], 3)
        self.assertEqual(generate.search(self.entries, "zzz"), ([], [0]))
        rows, hits = generate.search(self.entries, "c++")
        self.assertEqual(len(hits), 2)
        self.assertTrue(rows)


class BrokenTablesTest(unittest.TestCase):
    """Each case edits a copy of the tables and expects the generator to refuse it."""

    def setUp(self):
        self.dir = tempfile.mkdtemp()
        for name in os.listdir(TABLES):
            shutil.copy(os.path.join(TABLES, name), self.dir)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def edit(self, name, old, new):
        path = os.path.join(self.dir, name)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        self.assertIn(old, text)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text.replace(old, new, 1))

    def assertRefused(self, message_part):
        with self.assertRaises(generate.CheckError) as caught:
            generate.build(self.dir)
        self.assertIn(message_part, str(caught.exception))

    def test_unchanged_copy_builds(self):
        entries, _ = generate.build(self.dir)
        self.assertEqual(len(entries), 788)

    def test_missing_entry(self):
        self.edit("06_c_string.tsv", "strlen\t", "# strlen\t")
        self.assertRefused("expected 788 entries")

    def test_inline_elsewhere(self):
        self.edit("06_c_string.tsv", "Zwraca długość napisu", "Zwraca (inline) długość napisu")
        self.assertRefused("'inline'")

    def test_sixth_printf(self):
        self.edit("04_c_stdio.tsv", "Wypisuje napis na standardowe wyjście", "Jak printf, wypisuje napis na standardowe wyjście")
        self.assertRefused("five entries with 'printf'")

    def test_fourth_scope_operator(self):
        self.edit("14_cpp_kontenery.tsv", "domyślnie opiera się na kontenerze deque", "domyślnie opiera się na std::deque")
        self.assertRefused("three entries with '::'")

    def test_scope_entry_with_std_and_vector(self):
        self.edit("14_cpp_kontenery.tsv", "oraz dostęp przez indeks w czasie stałym.", "jak vector.")
        self.assertRefused("both std and vector")

    def test_description_too_long(self):
        self.edit("04_c_stdio.tsv", "przy błędzie.", "przy każdym błędzie.")
        self.assertRefused("longest ShortDescription")

    def test_second_empty_description(self):
        self.edit("06_c_string.tsv", "Zwraca długość napisu, czyli liczbę znaków przed kończącym zerem.", "")
        self.assertRefused("one empty ShortDescription")

    def test_zzz(self):
        self.edit("06_c_string.tsv", "Zwraca długość napisu", "Zwraca długość napisu zzz")
        self.assertRefused("'zzz'")

    def test_ids_must_not_go_back(self):
        self.edit("06_c_string.tsv", "@id 225", "@id 100")
        self.assertRefused("@id must not go back")

    def test_head_entry_changed(self):
        self.edit("00_wstep.tsv", "Narzędzia, które należą do standardu C++.", "Narzędzia standardu C++.")
        self.assertRefused("head entry")

    def test_inline_entry_moved(self):
        self.edit("01_c_slowa_kluczowe.tsv", "@id 4", "@id 5")
        self.assertRefused("entry 9 must be C's inline")

    def test_operator_and_assign_encoded_twice(self):
        self.edit("19_cpp_operatory.tsv", "=operator&=", "=operator&amp;=")
        self.assertRefused("operator&amp;=")

    def test_character_outside_allowed_set(self):
        self.edit("06_c_string.tsv", "Zwraca długość napisu", "Zwraca długość napisu \u2013")
        self.assertRefused("allowed set")

    def test_full_title_shape(self):
        self.edit("06_c_string.tsv", "strlen\t", "strlen\t=strlen (C)\t")
        self.assertRefused("full title")


if __name__ == "__main__":
    unittest.main()
