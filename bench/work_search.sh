#!/usr/bin/env bash
# Shows that the work search walks the block starts instead of reading the
# file: builds a 64 MiB author file of 999 works, converts the last work under
# strace, and counts the bytes that the reads of the search delivered.
# Usage: bench/work_search.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
command -v strace >/dev/null || { apt-get update -qq && apt-get install -y -qq strace >/dev/null; }

work_dir=$(mktemp -d)
trap 'rm -rf "$work_dir"' EXIT
cd "$work_dir"

# 999 works of 8 to 9 blocks each, every unit a long line of Beta Code.
python3 - <<'PY'
line = "~[line 5]MH=NIN A)/EIDE QEA\\ *PHLHI+A/DEW *)AXILH=OS OU)LOME/NHN, H(\\ MURI/' *)AXAIOI=S A)/LGE' E)/QHKE, " * 10
with open("tlg0001.src", "w") as out:
    out.write("~author 1\n")
    for work in range(1, 1000):
        out.write(f"~work {work}\n")
        for _ in range(66):
            out.write(line + "\n")
PY
"$build/tools/authorfile/tlgbuild" tlg0001.src tlg0001.txt
printf '\nhtml\n' > scrivel.cfg
size=$(stat -c %s tlg0001.txt)
blocks=$((size / 8192))

strace -e trace=openat,read,lseek -o trace.log "$build/scrivel" 1 999 >/dev/null
# The reads of the author file up to the first whole block read are the walk.
python3 - "$blocks" <<'PY'
import re, sys
blocks = int(sys.argv[1])
fd = None
walk_reads = walk_bytes = total = 0
walk = True
for line in open("trace.log"):
    m = re.match(r'openat\(.*"tlg0001\.txt".*= (\d+)', line)
    if m:
        fd = m.group(1)
        continue
    m = re.match(r'read\((\d+),.*= (\d+)', line)
    if not m or m.group(1) != fd:
        continue
    n = int(m.group(2))
    total += n
    if walk and n == 8192:
        walk = False
    if walk:
        walk_reads += 1
        walk_bytes += n
print(f"author file: {blocks} blocks; the work search walked {walk_reads} block starts, "
      f"reading {walk_bytes} bytes ({walk_bytes / max(walk_reads, 1):.0f} per block)")
print(f"bytes read from the author file in all: {total} of {blocks * 8192}")
if walk_bytes > 64 * walk_reads:
    sys.exit("more than 64 bytes read for a block walked")
PY
