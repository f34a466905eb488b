"""The TEI checker accepts the editions that agree with their records, and no other.

    /usr/bin/python3 tests/tei/test_check_tei.py
"""

import json
import os
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_tei  # noqa: E402

WORK = "urn:cts:greekLit:tlg0012.tlg001"
VERSE = [("line", r"([^.]+)\.([^.]+)", "tei:div[@n='$1']/tei:l[@n='$2']"),
         ("book", r"([^.]+)", "tei:div[@n='$1']")]
PROSE = [("line", r"([^.]+)\.([^.]+)", "tei:div[@n='$1']/tei:p/tei:lb[@n='$2']"),
         ("chapter", r"([^.]+)", "tei:div[@n='$1']")]

VERSE_BODY = """<head>before the first<lb/>citation</head>
<div type="textpart" subtype="book" n="1">
  <l n="1">μῆνιν ἄειδε <hi rend="italic">θεὰ</hi></l>
  <l n="2">οὐλομένην,\u00a0ἣ  <seg type="unrendered">\ufffd</seg></l>
  <l n="5%20a">πολλὰς</l>
</div>"""
VERSE_RECORDS = [("", "before the first"), ("", "citation"), ("1.1", "μῆνιν ἄειδε θεὰ"),
                 ("1.2", "οὐλομένην, ἣ \x07"), ("1.5%20a", "πολλὰς")]

PROSE_BODY = """<div type="textpart" subtype="chapter" n="1"><p>
  <lb n="1"/>ἐν ἀρχῇ <hi rend="bold">ἦν</hi> ὁ
  <lb n="2" break="no"/>λόγος, καὶ
  <lb n="3"/>ὁ λόγος</p>
</div>"""
PROSE_RECORDS = [("1.1", "ἐν ἀρχῇ ἦν ὁ"), ("1.2", "λόγος, καὶ"), ("1.3", "ὁ λόγος")]


def edition(body, patterns):
    refs = "".join('<cRefPattern n="%s" matchPattern="%s" replacementPattern="#xpath(/tei:TEI/tei:text/tei:body/'
                   'tei:div/%s)"/>' % pattern for pattern in patterns)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<TEI xmlns="http://www.tei-c.org/ns/1.0"><teiHeader>'
            '<encodingDesc><refsDecl n="CTS">%s</refsDecl></encodingDesc></teiHeader><text><body>'
            '<div type="edition" xml:lang="grc" n="%s.scrivel-grc1">%s</div></body></text></TEI>\n'
            % (refs, WORK, body))


def records(rows):
    return "urn\tcitation\ttext\n" + "".join("%s:%s\t%s\t%s\n" % (WORK, p, p, t) for p, t in rows)


class CheckTei(unittest.TestCase):
    def setUp(self):
        if check_tei.etree is None:
            self.skipTest("needs python3-lxml")
        self.scratch = tempfile.TemporaryDirectory()
        self.dir = self.scratch.name

    def tearDown(self):
        self.scratch.cleanup()

    def write(self, name, content):
        path = os.path.join(self.dir, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(content)
        return path

    def pair(self, body, patterns, rows):
        faults, counts = check_tei.check([(self.write("e.xml", edition(body, patterns)),
                                           self.write("r.tsv", records(rows)))])
        return [m for messages in faults.by_file.values() for m in messages], counts

    def assertFault(self, faults, words):
        self.assertTrue(faults, "accepted")
        self.assertTrue(all(words in fault for fault in faults), faults)

    # Each edition differs from its records in one way, which must be found.
    def test_faults_are_found(self):
        for body, patterns, rows, words in [
                (VERSE_BODY, VERSE, VERSE_RECORDS[:3] + [("1.2", "οὐλομένην, ἣ")] + VERSE_RECORDS[4:], "1.2: text"),
                (VERSE_BODY.replace(' n="5%20a"', ""), VERSE, VERSE_RECORDS, "resolves to 0 nodes"),
                (VERSE_BODY, VERSE, VERSE_RECORDS[:-1], "named by no record"),
                (PROSE_BODY, PROSE, [PROSE_RECORDS[0], ("1.2", "ὁ λόγος"), ("1.3", "λόγος, καὶ")], "text")]:
            self.assertFault(self.pair(body, patterns, rows)[0], words)
        self.assertEqual(self.pair(PROSE_BODY, PROSE, PROSE_RECORDS)[0], [])

    # A work whose records repeat a URN or change their depth is resolved as
    # far as it can be, and counted apart.
    def test_irregular_works_are_counted_apart(self):
        for body, rows, unresolved in [
                (VERSE_BODY, VERSE_RECORDS + [("1.1", "μῆνιν ἄειδε θεὰ")], 2),
                (VERSE_BODY.replace("</div>", "<l>unnumbered</l></div>"), VERSE_RECORDS + [("1", "unnumbered")], 0)]:
            faults, counts = self.pair(body, VERSE, rows)
            self.assertEqual(faults, [])
            self.assertEqual((counts.irregular_works, counts.irregular_records, counts.irregular_unresolved),
                             (1, len(rows), unresolved))

    def tree(self, title_on_disk):
        entries = [{"author": 12, "name": "Homerus Epic.", "work": 1, "title": "Ilias"},
                   {"author": 12, "name": "Homerus Epic.", "work": 2, "title": ""}]
        listing = self.write("list.jsonl", "".join(json.dumps(dict(entry, block=0, offset=0, bytes=1,
                                                                   abbreviation="", levels=[])) + "\n"
                                                   for entry in entries))
        ti = 'xmlns:ti="http://chs.harvard.edu/xmlns/cts"'
        self.write("tree/data/tlg0012/__cts__.xml", '<ti:textgroup %s urn="urn:cts:greekLit:tlg0012">'
                   '<ti:groupname xml:lang="lat">Homerus Epic.</ti:groupname></ti:textgroup>' % ti)
        for work, title in ((1, title_on_disk), (2, "tlg0012.tlg002")):
            urn = "urn:cts:greekLit:tlg0012.tlg%03d" % work
            folder = "tree/data/tlg0012/tlg%03d/" % work
            self.write(folder + "__cts__.xml", '<ti:work %s groupUrn="urn:cts:greekLit:tlg0012" urn="%s" '
                       'xml:lang="grc"><ti:title xml:lang="lat">%s</ti:title><ti:edition urn="%s.scrivel-grc1" '
                       'workUrn="%s"><ti:label>L</ti:label><ti:description>D</ti:description></ti:edition>'
                       '</ti:work>' % (ti, urn, title, urn, urn))
            self.write(folder + "tlg0012.tlg%03d.scrivel-grc1.xml" % work,
                       edition(VERSE_BODY, VERSE).replace(WORK, urn))
        faults, counts = check_tei.check([], os.path.join(self.dir, "tree"), listing)
        return [m for messages in faults.by_file.values() for m in messages], counts

    def test_tree(self):
        self.assertEqual(self.tree("Ilias")[0], [])
        self.assertFault(self.tree("Odyssea")[0], "title")


if __name__ == "__main__":
    unittest.main()
