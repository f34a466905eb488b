#!/usr/bin/env python3
"""Holds the body of every HTML document of the examples and of the sample to
XML's rules: elements that nest, one closing tag for each opening one.

    python3 tests/html/check_well_formed.py BUILD_DIR SOURCE_DIR

Writes the examples of SOURCE_DIR/tests/examples as author files with
BUILD_DIR's scrivel-examples, converts every work of them and of the sample
(SOURCE_DIR/examples) into HTML with scrivel-corpus, and parses each
document's body, from <body> to </body>, with Python's XML parser. The body's
line breaks <br> stand without a closing tag and its blanks as &nbsp;: both
are made XML first, and control characters replaced. Prints the faults, then "N passed, M failed"; exit status
0 when nothing failed.
"""

import csv
import glob
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

NOT_XML = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f\ufffe\uffff]")


def body_fault(document):
    """What keeps the document's body from being well-formed, or None."""
    start = document.find("<body>")
    end = document.rfind("</body>")
    if start < 0 or end < start:
        return "no <body> ... </body>"
    body = document[start + len("<body>") : end]
    body = body.replace("<br>", "<br/>").replace("&nbsp;", "&#160;")
    # A control character, which the text may carry as it stands, is no
    # fault of the markup.
    body = NOT_XML.sub("\ufffd", body)
    try:
        ElementTree.fromstring("<body>" + body + "</body>")
    except ElementTree.ParseError as error:
        return str(error)
    return None


def convert(build, corpus, out):
    """The HTML documents of every work of the corpus directory."""
    os.makedirs(out)
    # Examples that end in errors leave no document; they have none to check.
    subprocess.run(
        [os.path.join(build, "scrivel-corpus"), "convert", "--corpus", corpus, "--format", "html", "--out", out],
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    return sorted(glob.glob(os.path.join(out, "*.html")))


def example_places(examples):
    """Where each example's author file comes from (file:line), by author."""
    with open(os.path.join(examples, "examples.tsv"), newline="") as manifest:
        return {int(row["author"]): row["where"] for row in csv.DictReader(manifest, delimiter="\t")}


def main():
    build, source = (os.path.realpath(argument) for argument in sys.argv[1:3])
    with tempfile.TemporaryDirectory() as scratch:
        examples = os.path.join(scratch, "examples")
        os.makedirs(examples)
        subprocess.run(
            [os.path.join(build, "tools", "harness", "scrivel-examples"), os.path.join(source, "tests", "examples"),
             examples],
            check=True,
            stdout=subprocess.DEVNULL,
        )
        places = example_places(examples)
        documents = convert(build, examples, os.path.join(scratch, "examples-out"))
        documents += convert(build, os.path.join(source, "examples"), os.path.join(scratch, "sample-out"))
        failed = 0
        for path in documents:
            with open(path, encoding="utf-8", errors="replace") as f:
                fault = body_fault(f.read())
            if fault is None:
                continue
            failed += 1
            name = os.path.basename(path)
            author = re.search(r"\d+", name)
            place = places.get(int(author.group())) if author else None
            print("%s%s: %s" % (name, " (" + place + ")" if place else "", fault))
    print("%d passed, %d failed" % (len(documents) - failed, failed))
    return 1 if failed or not documents else 0


if __name__ == "__main__":
    sys.exit(main())
