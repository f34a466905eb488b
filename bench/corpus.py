#!/usr/bin/env python3
"""Measures scrivel-corpus on a whole generated corpus.

    python3 bench/corpus.py [build-dir] [--runs N]

Builds, with the author-file builder, a corpus of 210 author files of about
1.3 MB each (268 MiB in all), each holding three to seven works of verses of
Homeric words drawn at random with a citation code at every line and signs here and there,
with the corpus's tables: an ID table for each author file, with the works'
titles and level names, and the author table with every author's name. Then it
times, N times each (3 by default), `scrivel-corpus list` over the whole
corpus, `scrivel-corpus convert` with --jobs 1 and with --jobs 2, and single
`scrivel` runs over the same works, one after the other, and reports each
one's input throughput in MB/s. Everything lives in /dev/shm, so that the
disk does not set the pace; the documents are HTML.
"""
import argparse
import os
import pathlib
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from run import DECORATIONS, random_verse, vocabulary  # noqa: E402

AUTHORS = 210
VERSES_PER_AUTHOR = 23_000


def write_author(path, author, words, rng, extend=lambda verse: verse):
    """Three to seven works of unequal length, together VERSES_PER_AUTHOR verses,
    each verse passed through `extend`, which may add words of its own."""
    works = rng.randint(3, 7)
    cuts = sorted(rng.sample(range(1, VERSES_PER_AUTHOR), works - 1))
    lengths = [b - a for a, b in zip([0] + cuts, cuts + [VERSES_PER_AUTHOR])]
    with open(path, "w") as out:
        out.write(f"~author {author}\n~name &1Auctor {author}&\n")
        for work, length in enumerate(lengths, start=1):
            out.write(f"~work {work}\n~title $*)/EPOS {work}\n~levels book line\n")
            for n in range(length):
                book, line = divmod(n, 600)
                code = f"~[z {book + 1} line 1]" if line == 0 else f"~[line {line + 1}]"
                verse = random_verse(rng, words)
                if n % 25 == 0:
                    before, after = DECORATIONS[(n // 25) % len(DECORATIONS)]
                    verse = before + verse + after
                out.write(code + extend(verse) + "\n")


def timed(command, cwd):
    start = time.perf_counter()
    subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default=str(pathlib.Path(__file__).resolve().parent.parent / "build"))
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    corpus_tool, scrivel = str(build / "scrivel-corpus"), str(build / "scrivel")
    tlgbuild = str(build / "tools" / "authorfile" / "tlgbuild")
    words = vocabulary()
    rng = random.Random(1)
    base = "/dev/shm" if os.path.isdir("/dev/shm") else None
    with tempfile.TemporaryDirectory(dir=base) as tmp:
        tmp = pathlib.Path(tmp)
        corpus = tmp / "corpus"
        sources = tmp / "sources"
        sources.mkdir()
        for author in range(1, AUTHORS + 1):
            write_author(sources / f"author{author}.src", author, words, rng)
        subprocess.run([tlgbuild, "--corpus", corpus, *sorted(sources.iterdir())], check=True)
        shutil.rmtree(sources)
        (tmp / "scrivel.cfg").write_text("corpus/\nhtml\n")
        listing = subprocess.run([corpus_tool, "list"], cwd=tmp, capture_output=True, text=True, check=True).stdout
        works = [line.split("\t") for line in listing.splitlines()[1:]]
        data = sum(int(w[4]) for w in works)
        size = sum(f.stat().st_size for f in corpus.glob("tlg*.txt"))
        titled = sum(1 for w in works if w[6])
        print(f"corpus: {AUTHORS} author files, {len(works)} works ({titled} with a title from the tables), "
              f"{size / 2**20:.1f} MiB; "
              f"the works' data {data / 1e6:.1f} MB")

        def out_dir():
            directory = tmp / "out"
            shutil.rmtree(directory, ignore_errors=True)
            directory.mkdir()
            return directory

        def single_runs():
            directory = out_dir()
            (directory / "scrivel.cfg").write_text(f"{corpus}/\nhtml\n")
            start = time.perf_counter()
            for author, work, *_ in works:
                subprocess.run([scrivel, author, work], cwd=directory, stdout=subprocess.DEVNULL, check=True)
            return time.perf_counter() - start

        commands = {
            "list": lambda: timed([corpus_tool, "list"], tmp),
            "convert --jobs 1": lambda: timed([corpus_tool, "convert", "--jobs", "1", "--out", out_dir()], tmp),
            "convert --jobs 2": lambda: timed([corpus_tool, "convert", "--jobs", "2", "--out", out_dir()], tmp),
            "single scrivel runs": single_runs,
        }
        times = {name: [] for name in commands}
        for _ in range(args.runs):
            for name, command in commands.items():
                times[name].append(command())
        median = {name: statistics.median(t) for name, t in times.items()}
        for name, t in times.items():
            print(f"{name}: median {median[name]:.2f} s ({min(t):.2f} to {max(t):.2f}), "
                  f"{data / median[name] / 1e6:.0f} MB/s")
        one, two = median["convert --jobs 1"], median["convert --jobs 2"]
        print(f"--jobs 2 gives {one / two:.2f} times the throughput of --jobs 1 (target: 1.7)")
        print(f"--jobs 1 takes {one / median['single scrivel runs']:.2f} times as long as single runs (target: 1)")
        print(f"list takes {median['list'] / one:.3f} of the conversion with --jobs 1 (target: below 0.1)")


if __name__ == "__main__":
    main()
