#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: the bundled sample, and the
author file and the work content of every end-to-end example. The author
files seed both the conversion of a whole file and the list of its works.
The metadata tables are the sample ID table of the format description,
hand-made tables, and the tables that tlgbuild writes for a small corpus.
The queries are hand-made, of every kind. Each target's corpus is written
anew, replacing the kept corpus: all five, or only the targets named after
tlgbuild.

    python3 fuzz/make_seeds.py build/tools/authorfile/tlgbuild [target...]
"""
import hashlib
import pathlib
import shutil
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"
TARGETS = ("author_file", "work_content", "list", "metadata", "query")
# The targets being written: the others' kept corpora are left as they are.
wanted = set(sys.argv[2:] or TARGETS)


def example_inputs():
    # Bytes, not text: an example may hold a byte that is no UTF-8.
    for path in sorted((ROOT / "tests" / "examples").glob("*.txt")):
        lines, inside = [], False
        for line in path.read_bytes().splitlines():
            if line.startswith(b"=== "):
                if inside:
                    yield b"\n".join(lines).rstrip(b"\n")
                lines, inside = [], True
            elif line.startswith(b"--- "):
                if inside:
                    yield b"\n".join(lines).rstrip(b"\n")
                inside = False
            elif inside:
                lines.append(line)
        if inside:
            yield b"\n".join(lines).rstrip(b"\n")


def save(target, data):
    if target in wanted:
        name = hashlib.sha1(data).hexdigest()[:16]
        (CORPUS / target / name).write_bytes(data)


def save_author_file(data):
    for target in ("author_file", "list"):
        save(target, data)


# The first 237 bytes of the ID table of author 0005, as the format
# description prints them: cut off after work 2's section, with no end entry.
SAMPLE_ID_TABLE = (ROOT / "tools" / "authorfile" / "samples" / "tlg0005-head.idt").read_bytes()

SYNONYM, REMARKS, FILE_SIZE, LANGUAGE = 0x80, 0x81, 0x82, 0x83


def author_entry(file_name, name, *fields):
    """An author table entry; fields are (code, text). A second FF pads an
    entry of odd length."""
    data = file_name.ljust(8).encode() + name.encode()
    data += b"".join(bytes([code]) + text.encode() for code, text in fields) + b"\xff"
    return data + b"\xff" * (len(data) % 2)


def library(heading, *entries):
    """A library heading, whose length counts its own 8 bytes, and its entries."""
    body = b"".join(entries)
    return b"*" + heading.encode() + (8 + len(body)).to_bytes(4, "big") + body


AUTHOR_TABLE_END = b"*END\0\0\0\0"

AUTHOR_TABLES = [
    library("TLG",
            author_entry("TLG0005", "&1Theocritus& Bucol.", (SYNONYM, "Theocritus"), (LANGUAGE, "g")),
            author_entry("TLG0012", "&1Homerus& Epic.", (SYNONYM, "Homer"), (SYNONYM, "*(/OMHROS"),
                         (REMARKS, "Ilias et Odyssea"), (LANGUAGE, "g")),
            author_entry("TLG0001", "Apollonius Rhodius", (REMARKS, "Argonautica")),
            author_entry("tlg9999", "Anonymi")) + AUTHOR_TABLE_END,
    library("TLG", author_entry("TLG0086", "Aristoteles", (SYNONYM, "Aristotle"), (LANGUAGE, "g")))
    + library("LAT",
              author_entry("LAT0474", "Cicero", (FILE_SIZE, "4731392"), (LANGUAGE, "l")),
              author_entry("LAT0690", "", (SYNONYM, "Vergilius"))) + AUTHOR_TABLE_END,
    # No heading, the authors out of order, and *END without its zeros.
    author_entry("TLG2062", "Joannes Chrysostomus") + author_entry("TLG0007", "Plutarchus")
    + author_entry("TLG0", "Short", (REMARKS, "")) + b"*END",
]


def id_work(number, block, title, levels, citations):
    """A work of an ID table: its entry, whose length counts from its type
    byte to the next work, its title, its levels' names (the line's first),
    and its section's citations."""
    ident = b"\xef\x81" + bytes(0xB0 + int(digit) for digit in f"{number:03d}") + b"\xff"
    rest = bytes([0x10, 1, len(title)]) + title.encode()
    for level, name in enumerate(levels):
        rest += bytes([0x11, level, len(name)]) + name.encode()
    rest += bytes([0x03]) + block.to_bytes(2, "big") + citations
    length = 5 + len(ident) + len(rest)
    return bytes([0x02]) + length.to_bytes(2, "big") + block.to_bytes(2, "big") + ident + rest


def id_table(author, name, *works):
    """An ID table: the author's entry, whose length counts the whole table,
    and name, the works, and the end entry."""
    ident = b"\xef\x80" + bytes(0xB0 + int(digit) for digit in f"{author:04d}") + b"\xff"
    rest = bytes([0x10, 0, len(name)]) + name.encode() + b"".join(works) + b"\0"
    return bytes([0x01]) + (5 + len(ident) + len(rest)).to_bytes(2, "big") + b"\0\0" + ident + rest


# Every citation entry: first and last of a section, the last of a block, an
# out-of-order range and line, a textual citation, and a fifth level's name.
ID_TABLE = id_table(
    1, "Anonymi",
    id_work(1, 0, "Fragmenta", ["line", "section", "fragment", "book", "liber"],
            bytes.fromhex("08b1a181" "0ab3a1888a" "0b0000b2a181" "0cb2a3888a" "0d0000b4a183" "09b3a283")),
    id_work(2, 1, "$*PRO/LOGOS", ["line"],
            bytes.fromhex("08afd0f2efecff81" "0a8b81c8" "09afd0f2efecff8b8281")))

# Three authors built by tlgbuild --corpus: their ID tables and the author table.
CORPUS_SOURCES = [
    """~author 5
~name &1Theocritus& Bucol.
~synonym Theocritus
~language g
~work 1
~title Idyllia
~levels Idyll line
~[z 1 line 1]A(DU/ TI TO\\ YIQU/RISMA KAI\\ A( PI/TUS, AI)PO/LE, TH/NA,
~[line 2]A( PO.TI\\ TAI=S PAGAI=SI, MELI/SDETAI
~[z 2 line 1]*TH=NOS
~work 2
~title Epigrammata
~levels Epigram line
~[z 1 line 1]TA\\ R(O/DA TA\\ DROSO/ENTA
""",
    """~author 12
~name &1Homerus& Epic.
~synonym Homer
~synonym *(/OMHROS
~work 1
~title $*)ILIA/S
~levels Book line
~[y 1 z 1 line 1]MH=NIN A)/EIDE QEA\\ *PHLHI+A/DEW *)AXILH=OS
~[line 2]OU)LOME/NHN
~block
~work 2
~title Odyssea
~levels Book line
~[y 1 z 1 line 1]A)/NDRA MOI E)/NNEPE, MOU=SA
~outoforder
~[line 5]POLU/TROPON
""",
    """~author 1
~name Carmina Anonyma
~language lat
~work 3
~title Fragmenta
~levels Fragment Section line
~[x 1 y 1 line 1]FRAGMENTUM PRIMUM
~[ytext 2a line 1]FRAGMENTUM ALTERUM
""",
]


def save_metadata(tlgbuild):
    for table in [SAMPLE_ID_TABLE, ID_TABLE] + AUTHOR_TABLES:
        save("metadata", table)
    with tempfile.TemporaryDirectory() as tmp:
        sources = []
        for i, text in enumerate(CORPUS_SOURCES):
            sources.append(pathlib.Path(tmp, f"{i}.src"))
            sources[-1].write_text(text)
        corpus = pathlib.Path(tmp, "corpus")
        subprocess.run([tlgbuild, "--corpus", corpus, *sources], check=True)
        for table in sorted(corpus.glob("*.idt")) + [corpus / "authtab.dir"]:
            save("metadata", table.read_bytes())


# Search queries: Greek, with a combining accent too, and Beta Code with
# breathings beside the parentheses; phrases, NEAR with and without its
# distance, the operators and groups; and a few that are wrong.
QUERIES = [q.encode() for q in (
    "λόγος",
    "λο\u0301γος θε*",
    "lo/gos",
    "*LO/GOS OR qeo/s*",
    '"mh=nin a)/eide qea/"',
    'NEAR(μῆνιν "ἄειδε θεά", 5)',
    "NEAR(mh=nin qea/ )",
    "(ou) OR mh/ ) AND a)lla/",
    "(α OR β) γ AND NEAR(δ ε,0)",
    'α "β',
    "NEAR(α β, 1001)",
    "((( *(/omhros ) ) OR )",
)] + [b"\xce\xbb\xce\xbf\xff (a"]


def save_queries():
    for query in QUERIES:
        save("query", query)


def save_examples(tlgbuild):
    sample = (ROOT / "examples" / "tlg0012.txt").read_bytes()
    save_author_file(sample)
    with tempfile.TemporaryDirectory() as tmp:
        source, built = pathlib.Path(tmp, "in.src"), pathlib.Path(tmp, "out.txt")
        for text in example_inputs():
            if not text.startswith(b"~author"):
                text = b"~author 1\n~work 1\n" + text
            source.write_bytes(text + b"\n")
            subprocess.run([tlgbuild, source, built], check=True)
            data = built.read_bytes()
            save_author_file(data)
            if len(data) == 8192:
                # The one block's text, between the two headers and F0 FE.
                save("work_content", data[13:data.rstrip(b"\0").rindex(b"\xf0\xfe")])


def main():
    tlgbuild = pathlib.Path(sys.argv[1]).resolve()
    if not wanted <= set(TARGETS):
        sys.exit(f"unknown target: {' '.join(sorted(wanted - set(TARGETS)))}")
    for target in wanted:
        shutil.rmtree(CORPUS / target, ignore_errors=True)
        (CORPUS / target).mkdir(parents=True)
    if wanted & {"author_file", "work_content", "list"}:
        save_examples(tlgbuild)
    if "metadata" in wanted:
        save_metadata(tlgbuild)
    if "query" in wanted:
        save_queries()


main()
