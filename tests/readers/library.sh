#!/usr/bin/env bash
# Runs the web library test (library.mjs): indexes the sample into
# <out-dir>, serves it with `scrivel-corpus serve` on a free port of
# 127.0.0.1, drives it in headless Chromium, and stops the server with
# SIGTERM however the test ends; the server must then exit with status 0.
# Where Node.js, Chromium or playwright-core is missing it runs nothing,
# says what is missing and how to install it, and exits with 77, which
# CTest reports as skipped.
# Usage: tests/readers/library.sh <scrivel-corpus> <sample-dir> <out-dir> [--write-screenshots DIR]
set -u
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -lt 3 ]; then
  echo "usage: $0 <scrivel-corpus> <sample-dir> <out-dir> [--write-screenshots DIR]" >&2
  exit 2
fi
missing=()
command -v node >/dev/null || missing+=("Node.js 18 or newer (node)")
[ -x /usr/bin/chromium ] || missing+=("Chromium (/usr/bin/chromium)")
[ -f "$here/node_modules/playwright-core/package.json" ] || missing+=("playwright-core (npm ci in tests/readers)")
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIPPED: the web library test needs: $(IFS=,; echo "${missing[*]}" | sed 's/,/, /g')."
  echo "Install them (as root, from the project's root) with:"
  echo "  apt-get install -y chromium fonts-dejavu-core && (cd tests/readers && npm ci)"
  echo "or: tests/readers/install.sh"
  exit 77
fi

corpus=$1 sample=$(cd "$2" && pwd) out=$3
shift 3
mkdir -p "$out" && out=$(cd "$out" && pwd)
rm -f "$out/index.db" "$out/serve.log"
if ! "$corpus" index --corpus "$sample" --db "$out/index.db" >"$out/index.log" 2>&1; then
  echo "FAIL: scrivel-corpus index --corpus $sample --db $out/index.db:"
  cat "$out/index.log"
  exit 1
fi

"$corpus" serve --db "$out/index.db" --corpus "$sample" --port 0 2>"$out/serve.log" &
server=$!
# Stops the server once, and says so where it does not end as asked.
stopped=""
stop_server() {
  [ -n "$stopped" ] && return "$stopped"
  kill -TERM "$server" 2>/dev/null
  wait "$server"
  stopped=$?
  if [ "$stopped" -ne 0 ]; then
    echo "FAIL: scrivel-corpus serve ended with status $stopped on SIGTERM (expected 0); it said:"
    cat "$out/serve.log"
  fi
  return "$stopped"
}
trap stop_server EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

# The port it took, from the line it writes once it listens.
url=""
for _ in $(seq 100); do
  url=$(sed -n 's|^scrivel-corpus: serving .* at \(http://[^ ]*\) (Ctrl-C stops it)$|\1|p' "$out/serve.log")
  [ -n "$url" ] && break
  if ! kill -0 "$server" 2>/dev/null; then break; fi
  sleep 0.1
done
if [ -z "$url" ]; then
  echo "FAIL: scrivel-corpus serve did not say where it listens; it said:"
  cat "$out/serve.log"
  exit 1
fi

node "$here/library.mjs" "$url" "$sample" "$out" "$corpus" "$@"
status=$?
stop_server || status=1
exit "$status"
