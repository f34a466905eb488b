#!/usr/bin/env python3
"""Measures scrivel against a plain copy of the same bytes.

    python3 bench/run.py [build-dir] [--runs N]

Builds, with the author-file builder, a realistic author file of about 70 MiB
(Homeric verse in Beta Code, a citation code at every line, signs and
formatting here and there) whose first work fills most of it, converts that
work in both formats several times, and reports the median input throughput,
the spread, the output size and the peak resident memory; then the same for a
1 MiB work (the memory must not grow with the work), a plain copy of the same
input and output bytes and the program with its document written from the
decoding thread, timed in turn with it, and the bytes that the work search
reads (bench/work_search.sh).
"""
import argparse
import itertools
import os
import pathlib
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


def write_source(path, verse_count):
    """Work 1: `verse_count` verses in books of 600 lines; then a small work 2."""
    pool = list(verses())
    with open(path, "w") as out:
        out.write("~author 1\n~work 1\n")
        for n, verse in zip(range(verse_count), itertools.cycle(pool)):
            book, line = divmod(n, 600)
            code = f"~[z {book + 1} line 1]" if line == 0 else f"~[line {line + 1}]"
            if n % 25 == 0:
                before, after = DECORATIONS[(n // 25) % len(DECORATIONS)]
                verse = before + verse + after
            out.write(code + verse + "\n")
        out.write("~work 2\n~[z 1 line 1]" + pool[0] + "\n")


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
        for name, verses_wanted in (("large", 1_450_000), ("small", 22_000)):
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
            print(f"{fmt}: median {median:.3f} s ({times[0]:.3f} to {times[-1]:.3f} over {args.runs} runs), "
                  f"{input_size / median / 1e6:.0f} MB/s of input; output {output_size / 2**20:.1f} MiB; "
                  f"peak RSS {rss} KiB (1 MiB work: {small_rss} KiB); "
                  f"plain copy {statistics.median(copy):.3f} s, scrivel takes {median / statistics.median(copy):.2f} times as long; "
                  f"document written from the decoding thread: median {statistics.median(in_turn):.3f} s "
                  f"({in_turn[0]:.3f} to {in_turn[-1]:.3f})")
    subprocess.run([ROOT / "bench" / "work_search.sh", build], check=True)


if __name__ == "__main__":
    main()
