#!/usr/bin/env bash
# The long run: each target for a number of executions, on as many cores as
# the machine has, starting from the kept corpus fuzz/corpus/<target>. The
# kept corpus then takes the run's new inputs, merged and minimised, so that
# the next run starts where this one ended. A failing input is left in the
# output directory for fuzz/regressions/<target>/.
# Usage: fuzz/campaign.sh executions output-dir [target...]
set -euo pipefail
executions=$1
out=$(realpath -m "$2")
targets=("${@:3}")
[ ${#targets[@]} -gt 0 ] || targets=(list author_file work_content metadata query)
source "$(dirname "$0")/common.sh"

run_target() {
  local target=$1 work=$out/$1
  local fuzzer=$build/fuzz/${target}_fuzzer
  rm -rf "$work" && mkdir -p "$work/grown" "$work/merged"
  cp "$root/fuzz/corpus/$target/"* "$work/grown/"
  if ! (cd "$work" && "$fuzzer" -runs="$executions" $(limits "$target") "${schedule[@]}" -print_final_stats=1 \
        -artifact_prefix="$work/" "$work/grown" >"$work/log" 2>&1); then
    tail -n 40 "$work/log"
    echo "== $target FAILED; the input is in $work/ (crash-*, timeout-*, oom-*, leak-*)"
    return 1
  fi
  (cd "$work" && "$fuzzer" -merge=1 $(limits "$target") "$work/merged" "$work/grown" >"$work/merge.log" 2>&1)
  rm -f "$root/fuzz/corpus/$target/"*
  cp "$work/merged/"* "$root/fuzz/corpus/$target/"
  echo "== $target: $executions executions"
  grep -E 'cov: .* corp: ' "$work/log" | tail -n 1
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$work/log"
  echo "kept corpus: $(ls "$root/fuzz/corpus/$target" | wc -l) inputs, $(grep -E 'MERGE-OUTER: [0-9]+ new files' "$work/merge.log")"
}

status=0
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$(nproc)" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
  run_target "$target" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
exit $status
