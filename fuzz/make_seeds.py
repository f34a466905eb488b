#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: the bundled sample, and the
author file and the work content of every end-to-end example. The author
files seed both the conversion of a whole file and the list of its works.

    python3 fuzz/make_seeds.py build/tools/authorfile/tlgbuild
"""
import hashlib
import pathlib
import shutil
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"


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
    name = hashlib.sha1(data).hexdigest()[:16]
    (CORPUS / target / name).write_bytes(data)


def save_author_file(data):
    for target in ("author_file", "list"):
        save(target, data)


def main():
    tlgbuild = pathlib.Path(sys.argv[1]).resolve()
    for target in ("author_file", "work_content", "list"):
        shutil.rmtree(CORPUS / target, ignore_errors=True)
        (CORPUS / target).mkdir(parents=True)
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


main()
