#!/usr/bin/env bash
# Installs the build into a staging prefix, then converts the installed
# sample with the installed scrivel, as its scrivel.cfg is shipped and in RTF,
# and compares the documents with the reviewed ones.
# Usage: tests/install/run.sh <build-dir> <expected-dir> <work-dir>
set -euo pipefail
build=$1 expected=$2 work=$3
rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/scrivel bin/scrivel-corpus share/man/man1/scrivel.1 share/man/man1/scrivel-corpus.1 \
            share/doc/scrivel/README.md share/doc/scrivel/LICENSE share/doc/scrivel/ATTRIBUTION; do
  [ -f "$work/prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
cp -r "$work/prefix/share/doc/scrivel/sample" "$work/run"
cd "$work/run"
for format in html rtf; do
  [ "$format" = rtf ] && sed -i 's/^html$/rtf/' scrivel.cfg
  for work_number in 1 2; do
    "$work/prefix/bin/scrivel" 12 "$work_number" >/dev/null
    cmp "sv12_$work_number.$format" "$expected/sv12_$work_number.$format"
  done
done
"$work/prefix/bin/scrivel-corpus" --version
echo "the installed scrivel converts the installed sample into the reviewed documents"
