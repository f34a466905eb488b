#!/usr/bin/env bash
# Runs the readers suite (check.mjs). Where Node.js, a reader or the
# suite's npm packages are missing it runs nothing, says what is missing and
# how to install it, and exits with 77, which CTest reports as skipped.
# Usage: tests/readers/run.sh <scrivel> <tlgbuild> <scrivel-examples> <output-dir> [--write-expected]
set -u
here=$(cd "$(dirname "$0")" && pwd)
missing=()
command -v node >/dev/null || missing+=("Node.js 18 or newer (node)")
command -v soffice >/dev/null || missing+=("LibreOffice (soffice)")
[ -x /usr/bin/chromium ] || missing+=("Chromium (/usr/bin/chromium)")
[ -f "$here/node_modules/playwright-core/package.json" ] || missing+=("playwright-core (npm ci in tests/readers)")
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIPPED: the readers suite needs: $(IFS=,; echo "${missing[*]}" | sed 's/,/, /g')."
  echo "Install them (as root, from the project's root) with:"
  echo "  apt-get install -y libreoffice-writer-nogui chromium fonts-dejavu-core && (cd tests/readers && npm ci)"
  echo "or: tests/readers/install.sh"
  exit 77
fi
exec node "$here/check.mjs" "$@"
