#!/usr/bin/env bash
# The manual pages format without a warning: groff reports nothing on them.
# Without groff the test is reported as skipped (status 77), naming the
# package that brings it.
# Usage: tests/install/check_manual_pages.sh <page>...
set -euo pipefail
command -v groff >/dev/null || { echo "SKIPPED: groff is missing: apt-get install groff-base"; exit 77; }
warnings=$(groff -man -ww -z "$@" 2>&1)
if [ -n "$warnings" ]; then
  echo "$warnings"
  exit 1
fi
echo "no warnings on: $*"
