#!/usr/bin/env bash
# The TEI editions of the bundled sample and of every example, with and
# without the citeStructure tree, checked by
# tests/tei/check_tei.py: valid against the TEI schema (jing), and each tsv
# record of the same work resolved by the edition's own citation patterns
# (lxml). The same check with a word added to every record's text must
# resolve none of them, lest it pass without looking.
# Usage: check_editions.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
checker=(/usr/bin/python3 "$source/tests/tei/check_tei.py" "$source/tests/tei/schema/tei_all.rng")
if ! /usr/bin/python3 -c 'import lxml' 2>/dev/null; then
  echo "check_editions: skipped: needs python3-lxml (apt-get install python3-lxml)"
  exit 77
fi
if ! command -v jing >/dev/null; then
  echo "check_editions: skipped: needs jing (apt-get install jing)"
  exit 77
fi
# The JVM that runs jing reserves address space by the machine's memory, and
# does not start under a limit such as `ulimit -v 2000000`: it is told to
# reserve what validating the editions needs.
export JAVA_TOOL_OPTIONS="-Xmx512m -XX:CompressedClassSpaceSize=64m -XX:ReservedCodeCacheSize=32m"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Converts every work of the corpus DIR into tei, tei with the citeStructure
# tree, and tsv under OUT.
convert_both() {
  local corpus=$1 out=$2
  mkdir -p "$out/tei" "$out/tei-cite" "$out/tsv"
  # Examples that end in errors leave no document; their pairs are left out.
  "$build/scrivel-corpus" convert --corpus "$corpus" --format tei --out "$out/tei" --jobs 2 2>/dev/null || true
  "$build/scrivel-corpus" convert --corpus "$corpus" --format tei --tei-cite-structure --out "$out/tei-cite" \
    --jobs 2 2>/dev/null || true
  "$build/scrivel-corpus" convert --corpus "$corpus" --format tsv --out "$out/tsv" --jobs 2 2>/dev/null || true
}

mkdir -p "$work/examples"
"$build/tools/harness/scrivel-examples" "$source/tests/examples" "$work/examples" >/dev/null
convert_both "$work/examples" "$work/examples-out"
convert_both "$source/examples" "$work/sample-out"

pairs=()
for edition in "$work"/{examples,sample}-out/tei{,-cite}/*.xml; do
  records=${edition/\/tei\//\/tsv\/}
  records=${records/\/tei-cite\//\/tsv\/}
  records=${records%.xml}.tsv
  [ -f "$records" ] && pairs+=("$edition" "$records")
done
echo "check_editions: $((${#pairs[@]} / 2)) editions with their records"

summary=$("${checker[@]}" "${pairs[@]}") || { echo "$summary"; exit 1; }
echo "$summary"
[[ $summary != *" 0 resolved "* ]] || { echo "check_editions: no record resolved"; exit 1; }
spoilt=()
for ((i = 0; i < ${#pairs[@]}; i += 2)); do
  sed '2,$ s/$/ spoilt/' "${pairs[i + 1]}" >"$work/spoilt$i.tsv"
  spoilt+=("${pairs[i]}" "$work/spoilt$i.tsv")
done
summary=$("${checker[@]}" "${spoilt[@]}" | tail -n 1) || true
[[ $summary == *" 0 resolved "* ]] || { echo "check_editions: spoilt records resolved: $summary"; exit 1; }
