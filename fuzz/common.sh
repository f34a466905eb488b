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
# entry, and a few dozen entries cross every kind of field. A query is
# refused past 4096 bytes.
declare -A max_len=([author_file]=16384 [work_content]=16384 [list]=32768 [metadata]=8192 [query]=4200)
# ASan keeps 256 MB of freed memory by default, which alone would pass the
# RSS limit in a long run; an execution frees far less than 64 MB, so a
# use after free within it is still caught.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64}

# Tight limits: an allocation or a memory use that grows with the input is
# a finding (oom-*), not something to wait out. The conversion targets check
# each document as it is written, without keeping it.
limits() { echo -timeout=10 -rss_limit_mb=256 -malloc_limit_mb=64 -max_len="${max_len[$1]}"; }
# The power schedule mutates a fast input up to 30 times as often as a slow
# one. A kept input whose document runs to megabytes (a long reference
# repeated on every line) costs a thousand small ones, and without this took
# most of a run's time; mutated seldom rather than dropped, it keeps its
# features in the corpus.
schedule=(-entropic_scale_per_exec_time=1)
