#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while on a copy of
# the seed corpus; a crashing input is left in the output directory for
# fuzz/regressions/<target>/.
# Usage: fuzz/run.sh [seconds-per-target] [output-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out=$(realpath -m "${2:-$root/build-fuzz/runs}")
build=$root/build-fuzz

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSCRIVEL_FUZZ=ON -DSCRIVEL_WERROR=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target author_file_fuzzer work_content_fuzzer

status=0
for target in author_file work_content; do
  corpus=$out/$target/corpus
  rm -rf "$corpus" && mkdir -p "$corpus"
  cp "$root/fuzz/corpus/$target/"* "$corpus/"
  log=$out/$target/log
  echo "== $target: ${seconds}s"
  if ! (cd "$out/$target" && "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -max_len=16384 -print_final_stats=1 -artifact_prefix="$out/$target/" \
        "$corpus" >"$log" 2>&1); then
    status=1
    tail -n 40 "$log"
    echo "== $target FAILED; the input is in $out/$target/ (crash-*, timeout-*, leak-*)"
  fi
  grep -E 'cov: .* corp: ' "$log" | tail -n 1
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log"
  echo "corpus: $(ls "$corpus" | wc -l) inputs"
done
exit $status
