#!/usr/bin/env python3
"""Peak memory of scrivel-corpus convert by the number of works, in every format.

    python3 bench/batch_memory.py [build-dir]

Builds a corpus of 100 author files of 10 works each (every work 40 verses
with a citation at every line), with the tables that name every author, title
and level, then converts the works of 1 author (10 works) and of all 100
(1,000 works) with --jobs 2 into each format, and prints each run's peak
resident memory (the process's ru_maxrss). Flat memory means the two figures
of a format are close: what a batch keeps per work must not add up.
"""
import os
import pathlib
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from run import random_verse, vocabulary  # noqa: E402

AUTHORS = 100
WORKS = 10
VERSES = 40
FORMATS = ["rtf", "html", "text", "tsv", "tei"]


def write_author(path, author, words, rng):
    with open(path, "w") as out:
        out.write(f"~author {author}\n~name &1Auctor {author}& $*(/OMHROS\n")
        for work in range(1, WORKS + 1):
            out.write(f"~work {work}\n~title $*)/EPOS {work} &1Carmen&\n~levels book line\n")
            for line in range(1, VERSES + 1):
                out.write(("~[z 1 line 1]" if line == 1 else f"~[line {line}]") + random_verse(rng, words) + "\n")


def peak_kib(command, cwd):
    """The command's peak resident memory, in KiB."""
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{' '.join(map(str, command))} failed")
    return usage.ru_maxrss


def main():
    build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent / "build")
    build = build.resolve()
    words, rng = vocabulary(), random.Random(1)
    base = "/dev/shm" if os.path.isdir("/dev/shm") else None
    with tempfile.TemporaryDirectory(dir=base) as tmp:
        tmp = pathlib.Path(tmp)
        sources = tmp / "sources"
        sources.mkdir()
        for author in range(1, AUTHORS + 1):
            write_author(sources / f"author{author}.src", author, words, rng)
        subprocess.run([build / "tools" / "authorfile" / "tlgbuild", "--corpus", tmp / "corpus",
                        *sorted(sources.iterdir())], check=True)
        print(f"{AUTHORS} author files of {WORKS} works, {VERSES} verses each; peak RSS of convert --jobs 2:")
        for format_name in FORMATS:
            figures = []
            for authors in (["1"], [str(a) for a in range(1, AUTHORS + 1)]):
                out = tmp / f"out-{format_name}-{len(authors)}"
                out.mkdir()
                figures.append(peak_kib([build / "scrivel-corpus", "convert", "--corpus", tmp / "corpus", "--format",
                                         format_name, "--jobs", "2", "--out", out, *authors], tmp))
            print(f"{format_name}: {WORKS} works {figures[0]} KiB, "
                  f"{AUTHORS * WORKS} works {figures[1]} KiB")


if __name__ == "__main__":
    main()
