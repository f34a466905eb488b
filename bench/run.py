#!/usr/bin/env python3
"""Measures scrivel against a plain copy of the same bytes.

    python3 bench/run.py [build-dir] [--runs N]

Builds, with the author-file builder, a realistic author file of about 70 MiB
(verses of Homeric words drawn at random, seeded, in Beta Code, a citation
code at every line, signs and formatting here and there) whose first work fills most of it, converts that
work in both formats several times, and reports the median input throughput,
the spread, the output size and the peak resident memory; then the same for a
1 MiB work (the memory must not grow with the work), a plain copy of the same
input and output bytes and the program with its document written from the
decoding thread, timed in turn with it, the instructions per input byte that
callgrind counts on a 3 MiB work, and the bytes that the work search reads
(bench/work_search.sh).
"""
import argparse
import os
import pathlib
import random
import re
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent

# Signs and formatting that stand in some lines: (before the verse, after it).
DECORATIONS = [
    ("", " %14"),
    ('"3', '"3'),
    ("$1", "$"),
    ("[1", "]1"),
    ("<20", ">20"),
    ("&Scholia$ ", ""),
    ("", " #2"),
    ("{1", "}1"),
]


def verses():
    """The Beta Code of the bundled sample's verses, without their citations."""
    for line in (ROOT / "examples" / "tlg0012.src").read_text().splitlines():
        if line.startswith("~["):
            yield line[line.index("]") + 1:]


def vocabulary():
    """Every word of the sample's verses, with the punctuation that follows
    it, as often as it occurs there."""
    return [word for verse in verses() for word in verse.split()]


def random_verse(rng, words):
    """Six to nine words drawn at random, so that no pattern repeats."""
    return " ".join(rng.choice(words) for _ in range(rng.randint(6, 9)))


def write_source(path, verse_count, seed=1):
    """Work 1: `verse_count` verses of random words (seeded, so the same each
    time) in books of 600 lines; then a small work 2."""
    rng = random.Random(seed)
    words = vocabulary()
    with open(path, "w") as out:
        out.write("~author 1\n~work 1\n")
        for n in range(verse_count):
            verse = random_verse(rng, words)
            book, line = divmod(n, 600)
            code = f"~[z {book + 1} line 1]" if line == 0 else f"~[line {line + 1}]"
            if n % 25 == 0:
                before, after = DECORATIONS[(n // 25) % len(DECORATIONS)]
                verse = before + verse + after
            out.write(code + verse + "\n")
        out.write("~work 2\n~[z 1 line 1]" + random_verse(rng, words) + "\n")


def timed_run(command, cwd):
    """Wall time and peak resident memory (KiB) of one run. GNU time reports
    the memory: a child of this process would count the interpreter's own
    pages from before its exec."""
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", *command], cwd=cwd,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"{command} failed with status {result.returncode}")
    return elapsed, int(result.stderr.split()[-1])


def side_by_side(commands, cwd, runs):
    """Runs the commands in turn, `runs` rounds, so that a change in the
    machine's load falls on all of them alike; each one's sorted times and
    peak memory."""
    results = [[] for _ in commands]
    for _ in range(runs):
        for i, command in enumerate(commands):
            results[i].append(timed_run(command, cwd))
    return [(sorted(t for t, _ in r), max(rss for _, rss in r)) for r in results]


def copy_command(directory, input_path, output_size):
    """A plain copy: the input read to /dev/null, a file of the output's size written."""
    return ["sh", "-c", f"cat {input_path} > /dev/null && head -c {output_size} /dev/zero > {directory / 'copy.out'}"]


def instructions_per_byte(scrivel, directory):
    """Machine instructions per input byte of one conversion, counted by
    callgrind: a figure that does not move with the machine's load."""
    result = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null", scrivel, "1", "1"],
                            cwd=directory, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True)
    refs = int(re.search(r"refs:\s+([\d,]+)", result.stderr).group(1).replace(",", ""))
    return refs / (directory / "tlg0001.txt").stat().st_size


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default=str(ROOT / "build"))
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    scrivel = str(build / "scrivel")
    writer_in_turn = str(build / "bench" / "scrivel-writer-in-turn")
    tlgbuild = str(build / "tools" / "authorfile" / "tlgbuild")
    base = "/dev/shm" if os.path.isdir("/dev/shm") else None  # memory, so that the disk does not set the pace
    with tempfile.TemporaryDirectory(dir=base) as tmp:
        tmp = pathlib.Path(tmp)
        for name, verses_wanted in (("large", 1_450_000), ("small", 22_000), ("slice", 55_000)):
            directory = tmp / name
            directory.mkdir()
            write_source(directory / "tlg0001.src", verses_wanted)
            subprocess.run([tlgbuild, directory / "tlg0001.src", directory / "tlg0001.txt"], check=True)
            (directory / "tlg0001.src").unlink()
        large = tmp / "large"
        input_size = (large / "tlg0001.txt").stat().st_size
        print(f"author file: {input_size / 2**20:.1f} MiB, work 1 fills all but its last block")
        for fmt in ("html", "rtf"):
            document = f"sv1_1.{fmt}"
            (tmp / "small" / "scrivel.cfg").write_text(f"\n{fmt}\n")
            (_, small_rss), = side_by_side([[scrivel, "1", "1"]], tmp / "small", 3)
            (large / "scrivel.cfg").write_text(f"\n{fmt}\n")
            timed_run([scrivel, "1", "1"], large)
            output_size = (large / document).stat().st_size
            (times, rss), (in_turn, _), (copy, _) = side_by_side(
                [[scrivel, "1", "1"], [writer_in_turn, "1", "1"], copy_command(large, large / "tlg0001.txt", output_size)],
                large, args.runs)
            median = statistics.median(times)
            (tmp / "slice" / "scrivel.cfg").write_text(f"\n{fmt}\n")
            instructions = instructions_per_byte(scrivel, tmp / "slice")
            print(f"{fmt}: {instructions:.1f} instructions per input byte; median {median:.3f} s ({times[0]:.3f} to {times[-1]:.3f} over {args.runs} runs), "
                  f"{input_size / median / 1e6:.0f} MB/s of input; output {output_size / 2**20:.1f} MiB; "
                  f"peak RSS {rss} KiB (1 MiB work: {small_rss} KiB); "
                  f"plain copy {statistics.median(copy):.3f} s, scrivel takes {median / statistics.median(copy):.2f} times as long; "
                  f"document written from the decoding thread: median {statistics.median(in_turn):.3f} s "
                  f"({in_turn[0]:.3f} to {in_turn[-1]:.3f})")
    subprocess.run([ROOT / "bench" / "work_search.sh", build], check=True)


if __name__ == "__main__":
    main()
