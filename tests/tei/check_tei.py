#!/usr/bin/python3
"""Checks scrivel's TEI editions against the TEI schema and against its records.

    /usr/bin/python3 tests/tei/check_tei.py SCHEMA.rng EDITION.xml RECORDS.tsv [...]

jing validates every edition against the RELAX NG schema, and each EDITION.xml
is checked against the tsv document that scrivel wrote for the same work. The
edition's own cRefPatterns (deepest first) turn the passage of each record's
URN into an XPath: a record with every component names a line (an <l> in
verse, a <seg> of a prose <p>) whose text must be the record's; a
record with fewer components names a textpart div that must hold its text; a
record without a passage (text before the first citation) must be found
somewhere in the body. Texts are compared with their whitespace collapsed, and
with the control characters that XML cannot hold read as U+FFFD. Every
numbered line of the edition must be named by some record, and no div, l or
seg may have an empty n. A work whose records cannot name one line each of one
scheme (its citations change their depth, or repeat a line) is irregular: its
records must still be URNs of passages, but what they miss is counted apart.

Prints the failures, at most SHOW for each file, and then one line:

    check_tei: D documents valid; R records: S resolved (L lines, A above the line,
    U unplaced); F failed

(on one line). D counts the editions that jing accepted; S the records whose
checks all held, by kind; F every failure reported. Exit status 0 when nothing
failed, 1 otherwise. check_editions.sh makes sure that lxml and jing are there.
"""

import os
import re
import subprocess
import sys

from lxml import etree

SHOW = 20
TEI = "http://www.tei-c.org/ns/1.0"
NAMESPACES = {"tei": TEI}
L, SEG, DIV = ("{%s}%s" % (TEI, name) for name in ("l", "seg", "div"))
EDITION_SUFFIX = ".scrivel-grc1"

# A passage: ASCII letters and digits, any other byte as _ and two hex
# digits, the components joined by dots. The edition's @n values are
# written the same way.
PASSAGE = re.compile(r"(?:[A-Za-z0-9]|_[0-9A-F]{2})+(?:\.(?:[A-Za-z0-9]|_[0-9A-F]{2})+)*")
RECORD_URN = re.compile(r"(urn:cts:greekLit:tlg[0-9]{4}\.tlg[0-9]{3}):([^:]*)")
# XML cannot hold these; the edition writes U+FFFD in their place.
CONTROL = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f\x7f]")
XPATH = re.compile(r"#xpath\((.*)\)", re.DOTALL)
LINE_STEP = re.compile(r"/tei:(l|seg)\[@n='\$[0-9]+'\]\Z")


def collapse(text):
    return " ".join(text.split())


def record_text(text):
    return collapse(CONTROL.sub("\ufffd", text))


def element_text(element):
    return collapse("".join(element.itertext()))


class Faults:
    """The failures found, by the file they concern, in the order found."""

    def __init__(self):
        self.by_file = {}

    def add(self, where, message):
        self.by_file.setdefault(where, []).append(message)

    def count(self):
        return sum(len(messages) for messages in self.by_file.values())

    def of(self, where):
        return self.by_file.get(where, [])

    def show(self, out=sys.stdout):
        for where, messages in self.by_file.items():
            for message in messages[:SHOW]:
                print("%s: %s" % (where, message), file=out)
            if len(messages) > SHOW:
                print("%s: %d more failures" % (where, len(messages) - SHOW), file=out)


class Counts:
    def __init__(self):
        self.documents = 0
        self.records = 0
        self.lines = 0
        self.above = 0
        self.unplaced = 0
        self.irregular_works = 0
        self.irregular_records = 0
        self.irregular_unresolved = 0

    def resolved(self):
        return self.lines + self.above + self.unplaced


def parse_xml(path, faults):
    """The document's tree, or None with the fault recorded."""
    parser = etree.XMLParser(resolve_entities=False, no_network=True, huge_tree=False)
    try:
        return etree.parse(path, parser)
    except (OSError, etree.XMLSyntaxError) as error:
        faults.add(path, "not well-formed XML: %s" % error)
        return None


class Edition:
    """A TEI edition and the citation scheme its cRefPatterns declare."""

    def __init__(self, path, tree, faults):
        self.path = path
        self.tree = tree
        self.root = tree.getroot()
        self.ok = False
        self._text_of = {}
        if self.root.tag != "{%s}TEI" % TEI:
            faults.add(path, "root element %s, not TEI" % self.root.tag)
            return
        divs = self.root.xpath("/tei:TEI/tei:text/tei:body/tei:div", namespaces=NAMESPACES)
        if len(divs) != 1 or divs[0].get("type") != "edition":
            faults.add(path, "the body holds %d divs, not one div type=\"edition\"" % len(divs))
            return
        self.div = divs[0]
        self.body = self.div.getparent()
        self.urn = self.div.get("n", "")
        self.patterns = []
        for pattern in self.root.xpath("/tei:TEI/tei:teiHeader/tei:encodingDesc/tei:refsDecl/tei:cRefPattern",
                                       namespaces=NAMESPACES):
            try:
                regex = re.compile(pattern.get("matchPattern", ""))
            except re.error as error:
                faults.add(path, "line %d: matchPattern %r: %s" % (pattern.sourceline, pattern.get("matchPattern"),
                                                                   error))
                return
            xpath = XPATH.fullmatch(pattern.get("replacementPattern", ""))
            if not xpath:
                faults.add(path, "line %d: replacementPattern %r is no #xpath(...)" % (
                    pattern.sourceline, pattern.get("replacementPattern")))
                return
            self.patterns.append((regex, xpath.group(1)))
        # One pattern per citable level, deepest first: n groups, then n-1, ... 1.
        groups = [regex.groups for regex, _ in self.patterns]
        if not groups or groups != list(range(len(groups), 0, -1)):
            faults.add(path, "cRefPatterns with %s groups, not one per level deepest first" % (groups or "no"))
            return
        self.depth = groups[0]
        step = LINE_STEP.search(self.patterns[0][1])
        if not step:
            faults.add(path, "the deepest cRefPattern %r names neither tei:l nor tei:seg" % self.patterns[0][1])
            return
        self.line = L if step.group(1) == "l" else SEG
        self.ok = True

    def resolve(self, passage):
        """The nodes the first cRefPattern that matches the passage names, or a fault."""
        for regex, xpath in self.patterns:
            match = regex.fullmatch(passage)
            if not match:
                continue
            expression = re.sub(r"\$([0-9]+)", lambda group: match.group(int(group.group(1))) or "", xpath)
            try:
                return self.root.xpath(expression, namespaces=NAMESPACES), None
            except (etree.XPathError, IndexError) as error:
                return None, "%s: %s" % (expression, error)
        return None, "no cRefPattern matches the passage"

    def text(self, element):
        """The collapsed text of an element, kept: a div is asked for once per record in it."""
        key = self.tree.getpath(element)
        if key not in self._text_of:
            self._text_of[key] = element_text(element)
        return self._text_of[key]

    def line_elements(self):
        """The numbered lines of the edition, as the deepest cRefPattern names them."""
        return [line for line in self.div.iter(self.line) if line.get("n") is not None]


def read_records(path, faults):
    """(line number, urn, work URN, passage, text) for each record, or None."""
    try:
        with open(path, encoding="utf-8", newline="") as f:
            document = f.read()
    except (OSError, UnicodeDecodeError) as error:
        faults.add(path, "cannot be read: %s" % error)
        return None
    # Only a line feed ends a record: splitlines() would also break at the
    # form feeds, U+0085 and U+2028 that a text may hold.
    lines = document.split("\n")
    if lines[-1] != "":
        faults.add(path, "the document does not end with a line feed")
    else:
        lines.pop()
    if not lines or lines[0] != "urn\tcitation\ttext":
        faults.add(path, "header %r, not urn, citation, text" % (lines[0] if lines else ""))
        return None
    records = []
    for number, line in enumerate(lines[1:], start=2):
        fields = line.split("\t")
        if len(fields) != 3:
            faults.add(path, "line %d: %d fields" % (number, len(fields)))
            continue
        urn = RECORD_URN.fullmatch(fields[0])
        if not urn or (urn.group(2) and not PASSAGE.fullmatch(urn.group(2))):
            faults.add(path, "line %d: no CTS URN of a passage: %r" % (number, fields[0]))
            continue
        records.append((number, fields[0], urn.group(1), urn.group(2), fields[2]))
    return records


def check_pair(edition, records_path, faults, counts):
    """Every record of the tsv document against the edition."""
    records = read_records(records_path, faults)
    if records is None:
        return
    counts.records += len(records)
    if edition is None or not edition.ok:
        if records:
            faults.add(records_path, "%d records not checked: the edition cannot be read" % len(records))
        return
    where = "%s (%s)" % (edition.path, os.path.basename(records_path))
    works = {work for _, _, work, _, _ in records}
    for work in sorted(works):
        if work + EDITION_SUFFIX != edition.urn:
            faults.add(where, "records of %s, but the edition's URN is %r" % (work, edition.urn))
    if works and {work + EDITION_SUFFIX for work in works} != {edition.urn}:
        return

    # Two records of one full passage cannot each be the text of its line.
    # Shorter passages name a div, which holds the text of many records.
    seen = {}
    for number, urn, _, passage, _ in records:
        if passage.count(".") + 1 == edition.depth and passage:
            seen.setdefault(urn, []).append(number)
    duplicated = {urn for urn, numbers in seen.items() if len(numbers) > 1}
    for urn in sorted(duplicated, key=lambda urn: seen[urn][0]):
        faults.add(where, "%s: duplicate URN, on lines %s" % (urn, ", ".join(map(str, seen[urn]))))

    named = set()  # the lines records name; those of duplicated URNs too, whose fault is told already
    for urn in duplicated:
        nodes, _ = edition.resolve(urn.rsplit(":", 1)[1])
        named.update(nodes or [])
    body_from = 0
    body_text = None
    for number, urn, _, passage, raw in records:
        if urn in duplicated:
            continue
        text = record_text(raw)
        if not passage:
            # Unplaced records come in the order of the body: search on from the last.
            if body_text is None:
                body_text = edition.text(edition.body)
            found = body_text.find(text, body_from)
            if found < 0:
                found = body_text.find(text)
            if found < 0:
                faults.add(where, "line %d: %s: text %r is nowhere in the body" % (number, urn, text))
            else:
                body_from = found + len(text)
                counts.unplaced += 1
            continue
        components = passage.count(".") + 1
        if components > edition.depth:
            faults.add(where, "line %d: %s: %d components, the edition cites %d" % (number, urn, components,
                                                                                    edition.depth))
            continue
        nodes, error = edition.resolve(passage)
        if error:
            faults.add(where, "line %d: %s: %s" % (number, urn, error))
            continue
        if len(nodes) != 1 or not isinstance(nodes[0], etree._Element):
            faults.add(where, "line %d: %s resolves to %d nodes, not one element" % (number, urn, len(nodes)))
            continue
        element = nodes[0]
        if components < edition.depth:
            if element.tag != DIV:
                faults.add(where, "line %d: %s resolves to %s, not a div" % (number, urn, element.tag))
            elif text not in edition.text(element):
                faults.add(where, "line %d: %s: text %r is not in div %s" % (number, urn, text, element.get("n")))
            else:
                counts.above += 1
            continue
        named.add(element)
        fault = line_fault(edition, element, text)
        if fault:
            faults.add(where, "line %d: %s: %s" % (number, urn, fault))
        else:
            counts.lines += 1

    for line in edition.line_elements():
        if line not in named:
            faults.add(where, "line %d of the edition: %s n=%r is named by no record" % (
                line.sourceline, etree.QName(line).localname, line.get("n")))


def line_fault(edition, element, text):
    if element.tag != edition.line:
        return "resolves to %s, not %s" % (element.tag, edition.line)
    found = element_text(element)
    if found != text:
        return "text %r in the edition, %r in the record" % (found, text)
    return None


def load_edition(path, faults):
    tree = parse_xml(path, faults)
    return Edition(path, tree, faults) if tree is not None else None


def validate(schema, paths, faults):
    """Runs jing once over the documents; returns the paths it found fault with."""
    absolute = {os.path.abspath(path): path for path in paths}
    if not absolute:
        return set()
    run = subprocess.run(["jing", schema] + list(absolute), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         stdin=subprocess.DEVNULL)
    output = run.stdout.decode("utf-8", "replace").splitlines()
    invalid = set()
    # Longest first, so that a path that begins another one is not taken for it.
    by_length = sorted(absolute, key=len, reverse=True)
    for line in output:
        # Debian's wrapper warns of missing optional jars; the JVM says which options it was given.
        if not line.strip() or line.startswith(("[warning]", "Picked up JAVA_TOOL_OPTIONS")):
            continue
        path = next((p for p in by_length if line.startswith(p + ":")), None)
        if path is None:
            faults.add(schema, "jing: %s" % line)
            continue
        invalid.add(absolute[path])
        message = line[len(path) + 1:]
        # jing lists every element it would have allowed: the start says enough.
        faults.add(absolute[path], "invalid: %s" % (message if len(message) <= 300 else message[:300] + "..."))
    if run.returncode != 0 and not invalid and not faults.of(schema):
        faults.add(schema, "jing exited with status %d" % run.returncode)
    if run.returncode != 0 and not invalid:
        invalid.update(absolute.values())
    return invalid


def regular(records_path):
    """Whether a work's records can each name one line of one fixed scheme:
    every passage has as many components, and no two records share a URN. A
    work whose citations change their depth after the first (a level given
    later, or one left without a value) or repeat a line cannot be resolved
    record by record, whatever the edition does; this is told from the
    records alone."""
    records = read_records(records_path, Faults()) or []
    placed = [(urn, passage) for _, urn, _, passage, _ in records if passage]
    return len({passage.count(".") for _, passage in placed}) <= 1 and len({urn for urn, _ in placed}) == len(placed)


def check(schema, pairs):
    """Every check; returns the faults and the counts. The records of an
    irregular work are resolved as far as they can be, and counted apart:
    what they miss is no failure."""
    faults, counts = Faults(), Counts()
    editions = {}
    for edition_path, records_path in pairs:
        key = os.path.realpath(edition_path)
        if key not in editions:
            editions[key] = load_edition(edition_path, faults)
        if regular(records_path):
            check_pair(editions[key], records_path, faults, counts)
            continue
        # Its records may miss their lines, but each must still be a URN of a passage.
        read_records(records_path, faults)
        apart, missed = Counts(), Faults()
        check_pair(editions[key], records_path, missed, apart)
        counts.irregular_works += 1
        counts.irregular_records += apart.records
        counts.irregular_unresolved += apart.records - apart.resolved()
    readable = [edition for edition in editions.values() if edition is not None]
    for edition in readable:
        for element in edition.root.iter(DIV, L, SEG):
            if element.get("n") == "":
                faults.add(edition.path, "line %d: an empty n, which names nothing" % element.sourceline)
    invalid = validate(schema, [edition.path for edition in readable], faults)
    counts.documents = sum(1 for edition in readable if edition.path not in invalid)
    return faults, counts


def summary(counts, failed):
    line = "check_tei: %d documents valid; %d records: %d resolved (%d lines, %d above the line, %d unplaced); " % (
        counts.documents, counts.records, counts.resolved(), counts.lines, counts.above, counts.unplaced)
    if counts.irregular_works:
        line += "%d records of %d irregular works apart (%d not resolved); " % (
            counts.irregular_records, counts.irregular_works, counts.irregular_unresolved)
    return line + "%d failed" % failed


def main(schema=None, *documents):
    if schema is None or len(documents) % 2:
        sys.exit("usage: check_tei.py SCHEMA.rng EDITION.xml RECORDS.tsv [...]")
    faults, counts = check(schema, list(zip(documents[0::2], documents[1::2])))
    faults.show()
    print(summary(counts, faults.count()))
    return 1 if faults.count() else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
