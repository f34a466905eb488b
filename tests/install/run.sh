#!/usr/bin/env bash
# Installs the build into a staging prefix, then converts the installed
# sample with the installed scrivel, as its scrivel.cfg is shipped and in the
# other formats, and compares the documents with the reviewed ones (the TEI
# editions name the author and the works after the sample's tables); and
# lists the installed sample's works and author with their names.
# Usage: tests/install/run.sh <build-dir> <expected-dir> <work-dir>
set -euo pipefail
build=$1 expected=$2 work=$3
rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/scrivel bin/scrivel-corpus share/man/man1/scrivel.1 share/man/man1/scrivel-corpus.1 \
            share/doc/scrivel/README.md share/doc/scrivel/LICENSE share/doc/scrivel/ATTRIBUTION \
            share/doc/scrivel/docs/sample-iliad.png share/doc/scrivel/docs/library-work.png \
            share/doc/scrivel/docs/library-search.png share/doc/scrivel/sample/tlg0012.txt \
            share/doc/scrivel/sample/tlg0012.idt share/doc/scrivel/sample/authtab.dir; do
  [ -f "$work/prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
cp -r "$work/prefix/share/doc/scrivel/sample" "$work/run"
cd "$work/run"
previous=html
for format in html rtf text tsv tei; do
  sed -i "s/^$previous\$/$format/" scrivel.cfg
  previous=$format
  for work_number in 1 2; do
    "$work/prefix/bin/scrivel" 12 "$work_number" >/dev/null
  done
done
for document in sv12_1.html sv12_2.html sv12_1.rtf sv12_2.rtf sv12_1.txt sv12_2.txt sv12_1.tsv sv12_2.tsv \
                sv12_1.xml sv12_2.xml; do
  cmp "$document" "$expected/$document"
done
listed=$("$work/prefix/bin/scrivel-corpus" list)
[[ $listed == *$'\tIlias\tbook.line\n'*$'\tOdyssea\tbook.line' ]] || { echo "list: $listed"; exit 1; }
authors=$("$work/prefix/bin/scrivel-corpus" authors)
[[ $authors == *$'\n12\tHomerus\t'* ]] || { echo "authors: $authors"; exit 1; }
"$work/prefix/bin/scrivel-corpus" --version
echo "the installed scrivel converts the installed sample into the reviewed documents; scrivel-corpus names its works"
