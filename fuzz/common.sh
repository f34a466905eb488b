# Sourced by run.sh and campaign.sh: builds the targets named in `targets`
# with clang into build-fuzz and sets the limits every run takes.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-fuzz

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSCRIVEL_FUZZ=ON -DSCRIVEL_WERROR=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/%/_fuzzer}"

# Two blocks are enough for a conversion to cross a block end; the list's
# search walks the blocks' start headers and goes back one block from where
# it stops, which wants a few blocks more. A metadata table is read entry by
# entry, and a few dozen entries cross every kind of field.
declare -A max_len=([author_file]=16384 [work_content]=16384 [list]=32768 [metadata]=8192)
# ASan keeps 256 MB of freed memory by default, which alone would pass the
# RSS limit in a long run; an execution frees far less than 64 MB, so a
# use after free within it is still caught.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64}

# Tight limits: an allocation or a memory use that grows with the input is
# a finding (oom-*), not something to wait out.
# The conversion targets hold each document whole to check it, and a tsv
# document repeats every line's passage: its buffer may grow to the RSS limit.
declare -A malloc_limit=([author_file]=256 [work_content]=256 [list]=64 [metadata]=64)
limits() { echo -timeout=10 -rss_limit_mb=256 -malloc_limit_mb="${malloc_limit[$1]}" -max_len="${max_len[$1]}"; }
