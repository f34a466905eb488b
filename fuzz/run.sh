#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while on a copy of
# the seed corpus; a failing input is left in the output directory for
# fuzz/regressions/<target>/.
# Usage: fuzz/run.sh [seconds-per-target] [output-dir] [target...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out=$(realpath -m "${2:-$root/build-fuzz/runs}")
targets=("${@:3}")
[ ${#targets[@]} -gt 0 ] || targets=(author_file work_content list)
build=$root/build-fuzz

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSCRIVEL_FUZZ=ON -DSCRIVEL_WERROR=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/%/_fuzzer}"

# Two blocks are enough for a conversion to cross a block end; the list's
# search walks the blocks' start headers and goes back one block from where
# it stops, which wants a few blocks more.
declare -A max_len=([author_file]=16384 [work_content]=16384 [list]=32768)
# ASan keeps 256 MB of freed memory by default, which alone would pass the
# RSS limit in a long run; an execution frees far less than 64 MB, so a
# use after free within it is still caught.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64}

status=0
for target in "${targets[@]}"; do
  corpus=$out/$target/corpus
  rm -rf "$corpus" && mkdir -p "$corpus"
  cp "$root/fuzz/corpus/$target/"* "$corpus/"
  log=$out/$target/log
  echo "== $target: ${seconds}s"
  # Tight limits: an allocation or a memory use that grows with the input is
  # a finding (oom-*), not something to wait out.
  if ! (cd "$out/$target" && "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=256 -malloc_limit_mb=64 -max_len="${max_len[$target]}" -print_final_stats=1 \
        -artifact_prefix="$out/$target/" "$corpus" >"$log" 2>&1); then
    status=1
    tail -n 40 "$log"
    echo "== $target FAILED; the input is in $out/$target/ (crash-*, timeout-*, oom-*, leak-*)"
  fi
  grep -E 'cov: .* corp: ' "$log" | tail -n 1
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log"
  echo "corpus: $(ls "$corpus" | wc -l) inputs"
done
exit $status
