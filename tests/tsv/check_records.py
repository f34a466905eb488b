#!/usr/bin/env python3
"""Reads scrivel's tsv documents as programs read them, and checks them.

    python3 tests/tsv/check_records.py SCRIVEL AUTHOR_FILE WORK... [--verses DIR]

Converts each WORK of AUTHOR_FILE (tlgNNNN.txt) into tsv with the program
SCRIVEL, in a scratch directory, and parses the document with Python's csv
module, tab-delimited and without quoting, as pandas and R read it. Every
document must have the header "urn citation text", one record per line of the
file, three fields in each, a CTS URN of the work
(urn:cts:greekLit:tlgAAAA.tlgWWW:PASSAGE, PASSAGE of ASCII letters, digits and
percent escapes, joined by dots), and every field in Unicode NFC.

With --verses DIR, DIR holds expected_wN.txt for work N, a line per verse:
the reference in brackets, three no-break spaces, the verse as the reading
documents show it. Record i must then carry verse i's reference, without the
brackets, as its citation, and the NFC form of the verse as its text.

Prints the first mismatches, then "N passed, M failed" (records, or verses
with --verses). Exit status 0 when nothing failed.
"""

import argparse
import csv
import os
import re
import subprocess
import sys
import tempfile
import unicodedata

SHOW = 10
PASSAGE = r"(?:[A-Za-z0-9]|%[0-9A-F]{2})+(?:\.(?:[A-Za-z0-9]|%[0-9A-F]{2})+)*"


def convert(scrivel, author_file, author, work, scratch):
    """The tsv document of one work, as scrivel writes it."""
    with open(os.path.join(scratch, "scrivel.cfg"), "w") as cfg:
        cfg.write(os.path.dirname(os.path.abspath(author_file)) + "/\ntsv\n")
    subprocess.run([scrivel, str(author), str(work)], cwd=scratch, check=True, stdout=subprocess.DEVNULL)
    with open(os.path.join(scratch, "sv%d_%d.tsv" % (author, work)), encoding="utf-8", newline="") as f:
        return f.read()


def record_faults(document, author, work):
    """What is wrong with the document's records, one line each."""
    faults = []
    lines = document.split("\n")
    if lines[-1] != "":
        faults.append("the document does not end with a line feed")
    rows = list(csv.reader(document.splitlines(), delimiter="\t", quoting=csv.QUOTE_NONE))
    if len(rows) != len(lines) - 1:
        faults.append("%d records in %d lines" % (len(rows), len(lines) - 1))
    if not rows or rows[0] != ["urn", "citation", "text"]:
        faults.append("header %r" % (rows[0] if rows else None))
    urn = re.compile(r"urn:cts:greekLit:tlg%04d\.tlg%03d:(%s)?$" % (author, work, PASSAGE))
    for number, row in enumerate(rows[1:], start=2):
        if len(row) != 3:
            faults.append("line %d: %d fields: %r" % (number, len(row), row))
        elif not urn.match(row[0]):
            faults.append("line %d: no URN of the work: %r" % (number, row[0]))
        elif not all(unicodedata.is_normalized("NFC", field) for field in row):
            faults.append("line %d: not NFC: %r" % (number, row))
    return rows[1:], faults


def verse_faults(records, expected_file):
    """Each record against its verse: the citation and the NFC text."""
    with open(expected_file, encoding="utf-8") as f:
        verses = [line.rstrip("\n").split("\u00a0" * 3, 1) for line in f]
    faults = []
    if len(records) != len(verses):
        faults.append("%d records for %d verses" % (len(records), len(verses)))
    for (reference, verse), record in zip(verses, records):
        wanted = [reference[1:-1], unicodedata.normalize("NFC", verse)]
        if record[1:] != wanted:
            faults.append("%s: expected %r, got %r" % (reference, wanted, record[1:]))
    return len(verses), faults


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scrivel")
    parser.add_argument("author_file")
    parser.add_argument("works", nargs="+", type=int)
    parser.add_argument("--verses", help="the directory of expected_wN.txt")
    args = parser.parse_args()
    author = int(re.search(r"tlg(\d{4})\.txt$", args.author_file).group(1))
    checked, faults = 0, []
    with tempfile.TemporaryDirectory() as scratch:
        for work in args.works:
            records, found = record_faults(convert(os.path.abspath(args.scrivel), args.author_file, author, work,
                                                   scratch), author, work)
            count = len(records)
            if args.verses:
                count, more = verse_faults(records, os.path.join(args.verses, "expected_w%d.txt" % work))
                found += more
            checked += count
            faults += ["work %d: %s" % (work, fault) for fault in found]
    for fault in faults[:SHOW]:
        print(fault)
    print("%d passed, %d failed" % (checked - len(faults), len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
