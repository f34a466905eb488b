#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while on a copy of
# the seed corpus; a failing input is left in the output directory for
# fuzz/regressions/<target>/.
# Usage: fuzz/run.sh [seconds-per-target] [output-dir] [target...]
set -euo pipefail
seconds=${1:-60}
out=$(realpath -m "${2:-$(dirname "$0")/../build-fuzz/runs}")
targets=("${@:3}")
[ ${#targets[@]} -gt 0 ] || targets=(author_file work_content list metadata query)
source "$(dirname "$0")/common.sh"

status=0
for target in "${targets[@]}"; do
  corpus=$out/$target/corpus
  rm -rf "$corpus" && mkdir -p "$corpus"
  cp "$root/fuzz/corpus/$target/"* "$corpus/"
  log=$out/$target/log
  echo "== $target: ${seconds}s"
  if ! (cd "$out/$target" && "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" $(limits "$target") "${schedule[@]}" \
        -print_final_stats=1 -artifact_prefix="$out/$target/" "$corpus" >"$log" 2>&1); then
    status=1
    tail -n 40 "$log"
    echo "== $target FAILED; the input is in $out/$target/ (crash-*, timeout-*, oom-*, leak-*)"
  fi
  grep -E 'cov: .* corp: ' "$log" | tail -n 1
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log"
  echo "corpus: $(ls "$corpus" | wc -l) inputs"
done
exit $status
