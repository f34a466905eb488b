#!/usr/bin/env python3
"""Times scrivel on author files that repeat one awkward pattern.

    python3 bench/pathological.py [build-dir] [--runs N]

Builds each pattern of tools/pathological (`pathological NAME SIZE OUTPUT`)
at 400 KiB and at 4000 KiB, and normal text of the same sizes (verses of random
words, as bench/run.py builds them), converts each into HTML and RTF N times
(5 by default; the two sizes in turn, so that a change in the machine's load
falls on both), and prints a table of the median times, the seconds per MiB
of input, the ratio of the time at 4000 KiB to that at 400 KiB (target: at
most 10) and the ratio of the seconds per MiB. The time must grow with the
input and no faster. The inputs' sizes differ ten times (a little more or
less, as the patterns fill whole blocks), so a time ratio near 10 is what
linear time gives where the process start weighs little; time that grows
faster shows in the ratio of the seconds per MiB, which stays near 1 or
below when it is linear.
"""
import argparse
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "bench"))
import run as normal_text  # noqa: E402  (bench/run.py builds the normal text)

PATTERNS = ["nested-effects", "citation-texts", "z-increments", "long-numbers",
            "lone-diacritics", "thousand-works", "warning-per-byte"]
SIZES = {"400 KiB": 400 * 2**10, "4000 KiB": 4000 * 2**10}
BYTES_PER_VERSE = 57  # of bench/run.py's verses, a citation code included
TARGET_RATIO = 10


def build_pattern(build, name, size, directory):
    """The pattern's author file as tlg0001.txt in `directory`; the work to convert."""
    result = subprocess.run([build / "tools" / "pathological" / "pathological", name, str(size),
                             directory / "tlg0001.txt"], check=True, stdout=subprocess.PIPE, text=True)
    return int(result.stdout)


def build_normal_text(build, size, directory):
    source = directory / "tlg0001.src"
    normal_text.write_source(source, size // BYTES_PER_VERSE)
    subprocess.run([build / "tools" / "authorfile" / "tlgbuild", source, directory / "tlg0001.txt"], check=True)
    source.unlink()
    return 1


def timed_run(command, cwd):
    start = time.perf_counter()
    result = subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"{command} in {cwd} failed with status {result.returncode}")
    return elapsed


def median_times(scrivel, inputs, fmt, runs):
    """Each input's median time, the inputs converted in turn, `runs` rounds."""
    times = {label: [] for label in inputs}
    for directory, _ in inputs.values():
        (directory / "scrivel.cfg").write_text(f"\n{fmt}\n")
    for _ in range(runs):
        for label, (directory, work) in inputs.items():
            times[label].append(timed_run([scrivel, "1", str(work)], directory))
    return {label: statistics.median(t) for label, t in times.items()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default=str(ROOT / "build"))
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    scrivel = str(build / "scrivel")
    base = "/dev/shm" if os.path.isdir("/dev/shm") else None  # memory, so that the disk does not set the pace
    over_target = []
    print("| input | format | 400 KiB: MiB, s, s/MiB | 4000 KiB: MiB, s, s/MiB | time ratio | s/MiB ratio |")
    print("|---|---|---|---|---|---|")
    with tempfile.TemporaryDirectory(dir=base) as tmp:
        for name in ["normal text", *PATTERNS]:
            inputs = {}
            for label, size in SIZES.items():
                directory = pathlib.Path(tmp) / name.replace(" ", "-") / label.replace(" ", "")
                directory.mkdir(parents=True)
                work = (build_normal_text(build, size, directory) if name == "normal text"
                        else build_pattern(build, name, size, directory))
                inputs[label] = (directory, work)
            mib = {label: (directory / "tlg0001.txt").stat().st_size / 2**20
                   for label, (directory, _) in inputs.items()}
            for fmt in ("html", "rtf"):
                medians = median_times(scrivel, inputs, fmt, args.runs)
                cells = [f"{mib[label]:.2f}, {medians[label]:.4f}, {medians[label] / mib[label]:.4f}"
                         for label in SIZES]
                ratio = medians["4000 KiB"] / medians["400 KiB"]
                per_mib_ratio = ratio * mib["400 KiB"] / mib["4000 KiB"]
                print(f"| {name} | {fmt} | {cells[0]} | {cells[1]} | {ratio:.1f} | {per_mib_ratio:.2f} |", flush=True)
                if ratio > TARGET_RATIO:
                    over_target.append(f"{name} ({fmt})")
    print(f"time ratio above the target of {TARGET_RATIO}: {', '.join(over_target) or 'none'}")


if __name__ == "__main__":
    main()
