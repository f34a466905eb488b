#!/usr/bin/env python3
"""Loads the web library with many clients at once, and watches its memory.

    python3 bench/serve.py [build-dir] [--megabytes 110] [--clients 200] [--seconds 30] [--keep DIR]

Builds the corpus of bench/index.py (author files of about 1.3 MB, verses of
Homeric words drawn at random, a rare word and a family of a thousand forms
beginning ξυλο-), MEGABYTES in all, and its search index with
`scrivel-corpus index --jobs 2`. Then it starts `scrivel-corpus serve` on a
free port of 127.0.0.1, waits until it answers, and runs CLIENTS clients for
SECONDS seconds, each on a connection of its own that it keeps open while
the server lets it, each asking in a loop for:
- 70%: a work's reading page, of a work drawn at random; a third of them
  opened at a line drawn at random from the work's lines in the index;
- 30%: a search page: a rare word, the most frequent word, a phrase of two
  common words, a prefix of 1000 forms, the frequent word and the prefix
  also at page 2, the frequent word with exact=1 and within one author.
A response whose status is not 2xx, a connection refused or cut, and a
response that takes longer than 30 s are each a failure, listed with the
address asked. It reports the requests done, requests per second, the
median and 99th-percentile latency, overall and for each kind, and the
processor time of the server and of the clients (which share its cores).
Every second it reads the server's resident memory (VmRSS) and reports it
at the start of the load, its peak, at the end, and the mean of the last 10
seconds against that of the first 10. Last it stops the server with SIGTERM,
which must end it with exit status 0.

The clients are one Python process (asyncio), each request a plain
HTTP/1.1 GET read whole; the time of a request runs from its sending (or
its connection's opening) to its last byte.
Everything lives in /dev/shm, so that the disk does not set the pace.
--keep DIR works in DIR instead and leaves it: a corpus and an index
already there are used again.
"""
import argparse
import asyncio
import collections
import os
import pathlib
import random
import resource
import signal
import socket
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import index  # noqa: E402

HOST = "127.0.0.1"
REQUEST_TIMEOUT = 30
WORK_SHARE = 0.7
PASSAGE_SHARE = 1 / 3
FREQUENT = "kai/"
SEARCHES = [
    ("a rare word", {"q": index.RARE_WORD.lower()}),
    ("the most frequent word", {"q": FREQUENT}),
    ("the most frequent word, page 2", {"q": FREQUENT, "page": "2"}),
    ("the most frequent word, exact", {"q": FREQUENT, "exact": "1"}),
    ("the most frequent word, within one author", {"q": FREQUENT, "within": "1"}),
    ("a phrase of two common words", {"q": '"kai\\ de/"'}),
    ("a prefix of 1000 forms", {"q": index.PREFIX.lower() + "*"}),
    ("a prefix of 1000 forms, page 2", {"q": index.PREFIX.lower() + "*", "page": "2"}),
]


def prepare(build, directory, megabytes):
    """The corpus and its index in `directory`, made unless already there."""
    if not (directory / "corpus").is_dir():
        authors = max(1, round(megabytes / index.AUTHOR_MEGABYTES))
        index.build_corpus(str(build / "tools" / "authorfile" / "tlgbuild"), directory, authors)
    database = directory / "scrivel.sqlite"
    if not database.exists():
        subprocess.run([build / "scrivel-corpus", "index", "--corpus", "corpus", "--db", database.name,
                        "--jobs", "2"], cwd=directory, check=True)
    size = sum(f.stat().st_size for f in (directory / "corpus").glob("tlg*.txt"))
    print(f"corpus: {len(list((directory / 'corpus').glob('tlg*.txt')))} author files, {size / 1e6:.0f} MB; "
          f"index {database.stat().st_size / 1e6:.0f} MB")
    return database


def work_pages(database, count, rng):
    """`count` addresses of reading pages: works drawn at random, a share of
    them opened at one of the work's lines, drawn at random."""
    with sqlite3.connect(f"file:{database}?mode=ro", uri=True) as db:
        works = db.execute("SELECT author, work, urn, lines FROM works WHERE lines > 0").fetchall()
        pages = []
        for _ in range(count):
            author, work, urn, lines = rng.choice(works)
            if rng.random() >= PASSAGE_SHARE:
                pages.append(("work page", f"/{urn}"))
                continue
            # A line's id holds its author, its work and its place in the work.
            line_id = author << 42 | work << 32 | rng.randrange(lines)
            passage = db.execute("SELECT passage FROM lines WHERE id = ?", (line_id,)).fetchone()[0]
            pages.append(("work page at a line", f"/{urn}:{passage}"))
    return pages


def searches():
    return [(f"search: {name}", "/search?" + urllib.parse.urlencode(query)) for name, query in SEARCHES]


def free_port():
    with socket.socket() as probe:
        probe.bind((HOST, 0))
        return probe.getsockname()[1]


def wait_until_answering(server, port):
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        if server.poll() is not None:
            raise SystemExit(f"the server ended with status {server.returncode} before answering")
        try:
            with urllib.request.urlopen(f"http://{HOST}:{port}/", timeout=5) as response:
                response.read()
                return
        except OSError:
            time.sleep(0.1)
    raise SystemExit("the server did not answer within 60 s")


def resident_kib(pid):
    """The server's resident memory, and of it what is its own (RssAnon):
    the rest is pages of the index file that SQLite maps, which the system
    takes back as it needs."""
    fields = {}
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            name, _, value = line.partition(":")
            if name in ("VmRSS", "RssAnon"):
                fields[name] = int(value.split()[0])
    return fields.get("VmRSS", 0), fields.get("RssAnon", 0)


def processor_seconds(pid):
    """User and system time a process has used so far."""
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class Load:
    """What the clients saw: each kind's latencies, and every failure."""

    def __init__(self):
        self.latencies = collections.defaultdict(list)
        self.failures = collections.Counter()
        self.bytes = 0


async def read_body(reader, headers):
    if headers.get("transfer-encoding", "").lower() != "chunked":
        return len(await reader.readexactly(int(headers.get("content-length", "0"))))
    size = 0
    while True:
        chunk = int((await reader.readuntil(b"\r\n")).split(b";")[0], 16)
        await reader.readexactly(chunk + 2)
        size += chunk
        if chunk == 0:
            return size


async def get(reader, writer, path, port):
    """Status, body size and whether the connection stays open, of one GET."""
    writer.write(f"GET {path} HTTP/1.1\r\nHost: {HOST}:{port}\r\n\r\n".encode())
    await writer.drain()
    head = (await reader.readuntil(b"\r\n\r\n")).decode("latin-1").split("\r\n")
    status = int(head[0].split()[1])
    headers = {name.strip().lower(): value.strip() for name, _, value in (h.partition(":") for h in head[1:] if h)}
    size = await read_body(reader, headers)
    return status, size, headers.get("connection", "").lower() != "close"


async def client(number, port, work_paths, search_paths, deadline, load):
    rng = random.Random(number)
    reader = writer = None
    while time.monotonic() < deadline:
        kind, path = rng.choice(work_paths if rng.random() < WORK_SHARE else search_paths)
        start = time.perf_counter()
        try:
            if writer is None:
                reader, writer = await asyncio.open_connection(HOST, port)
            status, size, stays_open = await asyncio.wait_for(get(reader, writer, path, port), REQUEST_TIMEOUT)
        except (OSError, EOFError, ValueError, IndexError, asyncio.TimeoutError, asyncio.IncompleteReadError) as error:
            load.failures[(kind, path, type(error).__name__ + (f": {error}" if str(error) else ""))] += 1
            if writer is not None:
                writer.close()
            writer = None
            continue
        load.latencies[kind].append(time.perf_counter() - start)
        load.bytes += size
        if not 200 <= status < 300:
            load.failures[(kind, path, f"HTTP {status}")] += 1
        if not stays_open:
            writer.close()
            writer = None
    if writer is not None:
        writer.close()


async def sample_memory(pid, samples, stop):
    while not stop.is_set():
        samples.append(resident_kib(pid))
        try:
            await asyncio.wait_for(stop.wait(), 1)
        except asyncio.TimeoutError:
            pass


async def run_load(pid, port, clients, seconds, work_paths, search_paths):
    load, samples, stop = Load(), [], asyncio.Event()
    sampler = asyncio.create_task(sample_memory(pid, samples, stop))
    deadline = time.monotonic() + seconds
    start = time.perf_counter()
    await asyncio.gather(*(client(n, port, work_paths, search_paths, deadline, load) for n in range(clients)))
    elapsed = time.perf_counter() - start
    samples.append(resident_kib(pid))
    stop.set()
    await sampler
    return load, samples, elapsed


def milliseconds(seconds):
    return f"{seconds * 1000:.1f} ms"


def percentile_99(values):
    return statistics.quantiles(values, n=100, method="inclusive")[98] if len(values) > 1 else values[0]


def report(load, elapsed, clients):
    every = [t for times in load.latencies.values() for t in times]
    done, failed = len(every), sum(load.failures.values())
    print(f"\n{clients} clients for {elapsed:.1f} s: {done} requests answered, {done / elapsed:.0f} requests/s, "
          f"{load.bytes / elapsed / 1e6:.1f} MB/s of bodies, {failed} failures")
    print("| kind | requests | median | 99th percentile | slowest |")
    print("|---|---|---|---|---|")
    rows = [("all", every)] + sorted(load.latencies.items())
    work = [t for kind, times in load.latencies.items() if kind.startswith("work") for t in times]
    search = [t for kind, times in load.latencies.items() if kind.startswith("search") for t in times]
    rows[1:1] = [("all work pages", work), ("all searches", search)]
    for kind, times in rows:
        if times:
            print(f"| {kind} | {len(times)} | {milliseconds(statistics.median(times))} | "
                  f"{milliseconds(percentile_99(times))} | {milliseconds(max(times))} |")
    for (kind, path, reason), count in load.failures.most_common(30):
        print(f"failure x{count}: {kind}: {path}: {reason}")
    return failed


def report_memory(samples):
    """The server's resident memory during the load, and whether it stayed
    flat: after the first 5 s, in which the clients connect, the mean of the
    second half within 10% of the first half's, for its own memory."""
    rss = [total / 1024 for total, _ in samples]
    own = [anonymous / 1024 for _, anonymous in samples]
    steady = own[5:] if len(own) > 10 else own
    half = len(steady) // 2
    first, second = statistics.mean(steady[:half]), statistics.mean(steady[half:])
    flat = second <= first * 1.1
    print(f"server memory, every second: resident (VmRSS) {rss[0]:.0f} MiB at the start, peak {max(rss):.0f} MiB, "
          f"{rss[-1]:.0f} MiB at the end; its own (RssAnon) {own[0]:.0f} MiB at the start, peak {max(own):.0f} MiB, "
          f"{own[-1]:.0f} MiB at the end, mean {first:.0f} MiB in the first half of the load after 5 s and "
          f"{second:.0f} MiB in the second: {'flat' if flat else 'GROWING'}")
    print("RssAnon samples (MiB): " + " ".join(f"{m:.0f}" for m in own))
    return flat


def serve(build, directory, database, args):
    port = free_port()
    log = open(directory / "serve.log", "w")
    command = [build / "scrivel-corpus", "serve", "--db", database, "--corpus", directory / "corpus",
               "--bind", HOST, "--port", str(port)]
    server = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=log)
    try:
        wait_until_answering(server, port)
        rng = random.Random(1)
        work_paths = work_pages(database, 2000, rng)
        print(f"server pid {server.pid} on port {port}; {len(work_paths)} work addresses, "
              f"{len(SEARCHES)} searches")
        cpu_before, client_before = processor_seconds(server.pid), resource.getrusage(resource.RUSAGE_SELF)
        load, samples, elapsed = asyncio.run(
            run_load(server.pid, port, args.clients, args.seconds, work_paths, searches()))
        client_after = resource.getrusage(resource.RUSAGE_SELF)
        server_cpu = processor_seconds(server.pid) - cpu_before
        client_cpu = (client_after.ru_utime + client_after.ru_stime) - (client_before.ru_utime + client_before.ru_stime)
        failed = report(load, elapsed, args.clients)
        print(f"processor time during the load: server {server_cpu:.1f} s ({server_cpu / elapsed:.2f} cores), "
              f"clients {client_cpu:.1f} s ({client_cpu / elapsed:.2f} cores)")
        flat = report_memory(samples)
        if server.poll() is not None:
            print(f"the server ended during the load, with status {server.returncode}")
    finally:
        server.send_signal(signal.SIGTERM)
        try:
            status = server.wait(timeout=30)
        except subprocess.TimeoutExpired:
            server.kill()
            status = f"none: still running 30 s after SIGTERM, killed ({server.wait()})"
        log.close()
    stderr = (directory / "serve.log").read_text()
    print(f"SIGTERM: the server exited with status {status}")
    print("its stderr:\n" + stderr.rstrip())
    return failed == 0 and flat and status == 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default=str(pathlib.Path(__file__).resolve().parent.parent / "build"))
    parser.add_argument("--megabytes", type=float, default=110)
    parser.add_argument("--clients", type=int, default=200)
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--keep")
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    base = "/dev/shm" if os.path.isdir("/dev/shm") else None
    with tempfile.TemporaryDirectory(dir=base) as temporary:
        directory = pathlib.Path(args.keep or temporary).resolve()
        directory.mkdir(parents=True, exist_ok=True)
        database = prepare(build, directory, args.megabytes)
        sys.exit(0 if serve(build, directory, database, args) else 1)


if __name__ == "__main__":
    main()
