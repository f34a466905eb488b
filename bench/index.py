#!/usr/bin/env python3
"""Measures the search index on a generated corpus the size of the TLG E disc.

    python3 bench/index.py [build-dir] [--megabytes 650] [--runs 20] [--jobs 2] [--keep DIR]

Builds, with the author-file builder, a corpus of author files of about
1.3 MB each (those of bench/corpus.py: verses of Homeric words drawn at
random, a citation code at every line, signs here and there, the corpus's
tables), MEGABYTES in all, with
two kinds of word that the sample's vocabulary lacks: a rare word (one verse
in 150,000) and a family of a thousand forms sharing the prefix ξυλο- (one
verse in 50). Then, side by side in one run:
- `scrivel-corpus index --jobs N`: its time, input throughput and peak
  memory, and the same for `scrivel-corpus convert --format tsv --jobs N`;
- the database's size against the author files';
- the median wall time of RUNS warm runs of `scrivel-corpus search` for: a
  rare word; the first 50 hits of the most frequent word; --count of it; the
  first 50 hits of a phrase of two common words, and its --count; the first
  50 hits of the prefix, and its --count;
- the same questions asked of the tsv documents with `grep -c` (which cannot
  fold accents: it is given the form as printed), and how many times faster
  the index answers.
Everything lives in /dev/shm, so that the disk does not set the pace.
--keep DIR works in DIR instead and leaves it: a corpus already there is
used again.
"""
import argparse
import itertools
import multiprocessing
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
import corpus  # noqa: E402
from run import vocabulary  # noqa: E402

AUTHOR_MEGABYTES = 1.3
VERSES_PER_AUTHOR = corpus.VERSES_PER_AUTHOR
RARE_WORD = "XRUSOPE/DILOS"  # χρυσοπέδιλος
RARE_EVERY = 150_000
PREFIX = "XULO"  # ξυλο-
PREFIX_EVERY = 50
PREFIX_FORMS = [PREFIX + a + b + c for a in "ABDEGIKLMN" for b in "ABDEGIKLMN" for c in "ABDEGIKLMN"]


def write_author(args):
    """An author of bench/corpus.py, with the rare word and the prefix's forms
    at fixed intervals of the corpus's verses."""
    path, author = args
    rng = random.Random(author)
    verse_numbers = itertools.count((author - 1) * VERSES_PER_AUTHOR)

    def extend(verse):
        number = next(verse_numbers)
        if number % RARE_EVERY == 0:
            verse += " " + RARE_WORD
        if number % PREFIX_EVERY == 0:
            verse = rng.choice(PREFIX_FORMS) + " " + verse
        return verse

    corpus.write_author(path, author, vocabulary(), rng, extend)


def build_corpus(tlgbuild, directory, authors):
    sources = directory / "sources"
    sources.mkdir()
    with multiprocessing.Pool(2) as pool:
        pool.map(write_author, [(sources / f"author{a:04d}.src", a) for a in range(1, authors + 1)])
    subprocess.run([tlgbuild, "--corpus", directory / "corpus", *sorted(sources.iterdir())], check=True)
    shutil.rmtree(sources)


def measured(command, cwd):
    """Wall time in seconds and peak resident memory in MiB of a command."""
    start = time.perf_counter()
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    if status != 0:
        raise SystemExit(f"{command} failed: {status}")
    return time.perf_counter() - start, usage.ru_maxrss / 1024


def median_time(command, cwd, runs):
    subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)  # warm
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def grep_time(pattern, tsv_files, cwd, runs):
    """grep -c over every tsv document: the fastest of a few runs, since it reads them all."""
    command = ["grep", "-c", "-F", "-h", "--", pattern, *tsv_files]
    return min(median_time(command, cwd, 1) for _ in range(max(1, runs // 5)))


def hits(corpus_tool, cwd, query):
    output = subprocess.run([corpus_tool, "search", "--count", query], cwd=cwd, capture_output=True, text=True,
                            check=True).stdout
    return int(output.splitlines()[-1].split("\t")[1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default=str(pathlib.Path(__file__).resolve().parent.parent / "build"))
    parser.add_argument("--megabytes", type=float, default=650)
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--keep")
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    corpus_tool = str(build / "scrivel-corpus")
    tlgbuild = str(build / "tools" / "authorfile" / "tlgbuild")
    authors = max(1, round(args.megabytes / AUTHOR_MEGABYTES))
    base = "/dev/shm" if os.path.isdir("/dev/shm") else None
    with tempfile.TemporaryDirectory(dir=base) as temporary:
        tmp = pathlib.Path(args.keep or temporary)
        tmp.mkdir(parents=True, exist_ok=True)
        if not (tmp / "corpus").is_dir():
            build_corpus(tlgbuild, tmp, authors)
        shutil.rmtree(tmp / "tsv", ignore_errors=True)
        size = sum(f.stat().st_size for f in (tmp / "corpus").glob("tlg*.txt"))
        print(f"corpus: {authors} author files, {size / 1e6:.0f} MB")
        (tmp / "tsv").mkdir()
        jobs = str(args.jobs)
        index_seconds, index_mib = measured([corpus_tool, "index", "--corpus", "corpus", "--jobs", jobs], tmp)
        tsv_seconds, tsv_mib = measured(
            [corpus_tool, "convert", "--corpus", "corpus", "--format", "tsv", "--out", "tsv", "--jobs", jobs], tmp)
        database = (tmp / "scrivel.sqlite").stat().st_size
        print(f"index --jobs {jobs}: {index_seconds:.1f} s, {size / index_seconds / 1e6:.1f} MB/s, "
              f"peak {index_mib:.0f} MiB")
        print(f"convert --format tsv --jobs {jobs}: {tsv_seconds:.1f} s, {size / tsv_seconds / 1e6:.1f} MB/s, "
              f"peak {tsv_mib:.0f} MiB; the index takes {index_seconds / tsv_seconds:.1f} times as long")
        print(f"database: {database / 1e6:.0f} MB, {database / size:.2f} times the author files")

        printed = {"kai/": "καί", "kai\\": "καὶ", "de/": "δέ", "d'": "δ'", "te": "τε", "o(\\": "ὁ"}
        frequent = max(printed, key=lambda q: hits(corpus_tool, tmp, q))
        questions = [
            ("a word the corpus lacks", ["xyzzy"], None),
            ("a rare word", [RARE_WORD.lower()], "χρυσοπέδιλος"),
            ("the most frequent word, first 50 hits", ["--limit", "50", frequent], None),
            ("the most frequent word, --count", ["--count", frequent], printed[frequent]),
            ("a phrase of two common words, first 50 hits", ["--limit", "50", '"kai\\ de/"'], None),
            ("a phrase of two common words, --count", ["--count", '"kai\\ de/"'], "καὶ δέ"),
            ("a prefix of 1000 forms, first 50 hits", ["--limit", "50", "xulo*"], None),
            ("a prefix of 1000 forms, --count", ["--count", "xulo*"], "ξυλο"),
        ]
        tsv_files = sorted(str(f) for f in (tmp / "tsv").glob("*.tsv"))
        print(f"\nmost frequent word: {frequent} ({hits(corpus_tool, tmp, frequent)} lines)")
        print("Each search is a process of its own: its time includes starting it and opening the index, which a")
        print("search for a word the corpus lacks measures; 'beyond that' is the rest.")
        print(f"| question | hits | search (median of {args.runs}) | beyond that | grep -c | index faster |")
        print("|---|---|---|---|---|---|")
        floor = None
        for name, query, grep_form in questions:
            seconds = median_time([corpus_tool, "search", *query], tmp, args.runs)
            floor = seconds if floor is None else floor
            count = hits(corpus_tool, tmp, query[-1])
            scan = "| "
            if grep_form:
                grep_seconds = grep_time(grep_form, tsv_files, tmp, args.runs)
                scan = f"{grep_seconds * 1000:.0f} ms | {grep_seconds / seconds:.1f}x"
            print(f"| {name} | {count} | {seconds * 1000:.1f} ms | {(seconds - floor) * 1000:.1f} ms | {scan} |")


if __name__ == "__main__":
    main()
