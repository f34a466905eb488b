#!/usr/bin/env python3
"""Measures scrivel against a plain copy of the same bytes, and against the
build of an earlier version.

    python3 bench/run.py [build-dir] [--runs N] [--baseline BUILD]

Builds, with the author-file builder, a realistic author file of about 80 MiB
(verses of Homeric words drawn at random, seeded, in Beta Code, a citation
code at every line, signs and formatting here and there) whose first work
fills most of it, converts that work in each of the five formats (rtf, html,
text, tsv, tei) several times, and reports the median input throughput, the
spread, the output size and the peak resident memory; then the same for a
1 MiB work (the memory must not grow with the work), a plain copy of the same
input and output bytes and the program with its document written from the
decoding thread, timed in turn with it, the instructions per input byte that
callgrind counts on a 3 MiB work, and the bytes that the work search reads
(bench/work_search.sh).

With --baseline, the `scrivel` of that build directory is measured beside the
current one, in the same rounds, for every format whose document it writes
(an earlier version that knows only rtf and html writes no text or tsv
document, and those formats are measured for the current build alone).
"""
import argparse
import hashlib
import os
import pathlib
import random
import re
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass

ROOT = pathlib.Path(__file__).resolve().parent.parent

# Each format of scrivel.cfg with the extension of its document.
FORMATS = {"html": "html", "rtf": "rtf", "text": "txt", "tsv": "tsv", "tei": "xml"}
# At most this many instructions per input byte: a TEI edition writes an
# element around every line.
INSTRUCTION_TARGETS = {"tei": 30}
DEFAULT_INSTRUCTION_TARGET = 25

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


def build_inputs(tmp, tlgbuild):
    """The author files of the large work, of the 1 MiB work and of the slice
    that callgrind counts, each in a directory of its own."""
    for name, verses_wanted in (("large", 1_450_000), ("small", 22_000), ("slice", 55_000)):
        directory = tmp / name
        directory.mkdir()
        write_source(directory / "tlg0001.src", verses_wanted)
        subprocess.run([tlgbuild, directory / "tlg0001.src", directory / "tlg0001.txt"], check=True)
        (directory / "tlg0001.src").unlink()


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


def set_format(fmt, *directories):
    """The format line of scrivel.cfg in each directory, the corpus being the directory itself."""
    for directory in directories:
        (directory / "scrivel.cfg").write_text(f"\n{fmt}\n")


def clear_documents(directory):
    """Removes the documents of work 1, those of an earlier run included."""
    for document in directory.glob("sv1_1.*"):
        document.unlink()


def document_digest(scrivel, directory, fmt):
    """Converts work 1 once and returns the SHA-256 of the document, or None
    when the program wrote no document of this format (a version that does
    not know it)."""
    clear_documents(directory)
    document = directory / f"sv1_1.{FORMATS[fmt]}"
    timed_run([scrivel, "1", "1"], directory)
    if not document.exists():
        return None
    with open(document, "rb") as f:
        return hashlib.file_digest(f, "sha256").hexdigest()


@dataclass
class Program:
    """One build's figures for one format."""
    scrivel: str
    instructions: float = 0.0
    times: list = None
    rss: int = 0
    small_rss: int = 0

    @property
    def median(self):
        return statistics.median(self.times)


def measure_format(fmt, programs, writer_in_turn, tmp, runs):
    """Times the programs side by side with the writer-in-turn variant of the
    current build and a plain copy on the large work; fills in each program's
    figures. Returns the output size and the times of the writer-in-turn
    variant and of the copy."""
    large, small, slice_ = tmp / "large", tmp / "small", tmp / "slice"
    set_format(fmt, large, small, slice_)
    for program, (_, rss) in zip(programs, side_by_side([[p.scrivel, "1", "1"] for p in programs], small, 3)):
        program.small_rss = rss
    for program in programs:
        program.instructions = instructions_per_byte(program.scrivel, slice_)
    document_digest(programs[0].scrivel, large, fmt)  # the output's size, and a warm cache
    output_size = (large / f"sv1_1.{FORMATS[fmt]}").stat().st_size
    commands = [[p.scrivel, "1", "1"] for p in programs]
    commands += [[writer_in_turn, "1", "1"], copy_command(large, large / "tlg0001.txt", output_size)]
    results = side_by_side(commands, large, runs)
    for program, (times, rss) in zip(programs, results):
        program.times, program.rss = times, rss
    (in_turn, _), (copy, _) = results[len(programs):]
    return output_size, in_turn, copy


def baseline_for(fmt, current, baseline, tmp):
    """The baseline program if it writes this format's document, else None;
    says whether its document equals the current build's."""
    if baseline is None:
        return None
    baseline_digest = document_digest(baseline.scrivel, tmp / "large", fmt)
    if baseline_digest is None:
        print(f"{fmt} baseline: writes no {fmt} document, skipped")
        return None
    same = baseline_digest == document_digest(current.scrivel, tmp / "large", fmt)
    print(f"{fmt} baseline: the same document as the current build's: {'yes' if same else 'NO'}")
    return baseline


def spread(times):
    return f"{times[0]:.3f} to {times[-1]:.3f}"


def report(fmt, current, baseline, input_size, output_size, in_turn, copy, runs):
    copy_median = statistics.median(copy)
    target = INSTRUCTION_TARGETS.get(fmt, DEFAULT_INSTRUCTION_TARGET)
    print(f"{fmt}: {current.instructions:.1f} instructions per input byte (target: at most {target}); "
          f"median {current.median:.3f} s ({spread(current.times)} over {runs} runs), "
          f"{input_size / current.median / 1e6:.0f} MB/s of input; output {output_size / 2**20:.1f} MiB; "
          f"peak RSS {current.rss} KiB (1 MiB work: {current.small_rss} KiB); "
          f"plain copy {copy_median:.3f} s, scrivel takes {current.median / copy_median:.2f} times as long; "
          f"document written from the decoding thread: median {statistics.median(in_turn):.3f} s "
          f"({spread(in_turn)})")
    if baseline is not None:
        print(f"{fmt} baseline: {baseline.instructions:.1f} instructions per input byte; "
              f"median {baseline.median:.3f} s ({spread(baseline.times)} over {runs} runs), "
              f"{input_size / baseline.median / 1e6:.0f} MB/s of input; "
              f"peak RSS {baseline.rss} KiB (1 MiB work: {baseline.small_rss} KiB); "
              f"scrivel takes {baseline.median / copy_median:.2f} times as long as the plain copy")
        print(f"{fmt}: the current build takes {current.median / baseline.median:.3f} times the baseline's median time "
              f"(target: at most 1) and {current.instructions / baseline.instructions:.3f} times its instructions")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default=str(ROOT / "build"))
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--baseline", metavar="BUILD",
                        help="the build directory of an earlier version, measured beside this one")
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    current = Program(str(build / "scrivel"))
    baseline = Program(str(pathlib.Path(args.baseline).resolve() / "scrivel")) if args.baseline else None
    writer_in_turn = str(build / "bench" / "scrivel-writer-in-turn")
    base = "/dev/shm" if os.path.isdir("/dev/shm") else None  # memory, so that the disk does not set the pace
    with tempfile.TemporaryDirectory(dir=base) as tmp:
        tmp = pathlib.Path(tmp)
        build_inputs(tmp, str(build / "tools" / "authorfile" / "tlgbuild"))
        input_size = (tmp / "large" / "tlg0001.txt").stat().st_size
        print(f"author file: {input_size / 2**20:.1f} MiB, work 1 fills all but its last block")
        for fmt in FORMATS:
            set_format(fmt, tmp / "large")
            fmt_baseline = baseline_for(fmt, current, baseline, tmp)
            programs = [current] + ([fmt_baseline] if fmt_baseline else [])
            output_size, in_turn, copy = measure_format(fmt, programs, writer_in_turn, tmp, args.runs)
            report(fmt, current, fmt_baseline, input_size, output_size, in_turn, copy, args.runs)
            clear_documents(tmp / "large")  # room in /dev/shm for the next format
    subprocess.run([ROOT / "bench" / "work_search.sh", build], check=True)


if __name__ == "__main__":
    main()
