#!/bin/sh
# Builds the libFuzzer targets (clang, ASan + UBSan) in build/fuzz and runs
# each for the given number of seconds, one after the other.
#   usage: tools/fuzz.sh [SECONDS] [square|aspect|smart|options|png_reader|jpeg_reader ...]
# png_reader and jpeg_reader compare the library's readers with the decoder
# on every input, any difference a finding.
# Each target starts from the seed corpora (fuzz/corpus, fuzz/corpus-jpeg)
# and every reproducer in fuzz/crashes, with the dictionary fuzz/imgthumb.dict of the markers and
# chunk names the decoder and the pre-decode checks parse, and keeps its
# growing corpus in build/fuzz/corpus-TARGET.
# A new crash, leak or timeout is written to fuzz/crashes/TARGET-... (commit
# it: the test suite replays every file there); units slower than 25 s are
# written there too. Exits non-zero if a target stopped on a finding.
set -u
cd "$(dirname "$0")/.."
seconds=${1:-600}
[ $# -gt 0 ] && shift
targets=${*:-square aspect smart options png_reader jpeg_reader}
dir=build/fuzz

CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DIMGTHUMB_FUZZ=ON -DIMGTHUMB_TESTS=OFF >"$dir.configure.log" 2>&1 ||
  { cat "$dir.configure.log"; exit 1; }
# Only the targets: the shared library is not built for fuzzing.
# shellcheck disable=SC2046
cmake --build "$dir" --target $(for t in $targets; do echo "fuzz_$t"; done) || exit 1

# Requests beyond 256 MiB fail like a full heap (the decoder then reports
# "outofmem") instead of stopping the run; every other allocation is real.
# Every new block is filled with one byte value, so that what the decoder
# makes of memory it never writes is the same each time (jpeg_reader
# compares two of its decodings).
export ASAN_OPTIONS="allocator_may_return_null=1:max_allocation_size_mb=256:detect_leaks=1:max_malloc_fill_size=2147483647"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for t in $targets; do
  corpus="$dir/corpus-$t"
  mkdir -p "$corpus"
  log="$dir/fuzz-$t.log"
  echo "== fuzz_$t for ${seconds}s (log: $log) =="
  "$dir/bin/fuzz_$t" "$corpus" fuzz/corpus fuzz/corpus-jpeg fuzz/crashes \
    -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 -malloc_limit_mb=2560 \
    -max_len=16384 -report_slow_units=25 -dict=fuzz/imgthumb.dict \
    -artifact_prefix="fuzz/crashes/$t-" -print_final_stats=1 >"$log" 2>&1
  rc=$?
  # Executions, coverage (cov: edges, ft: features) and corpus at start and end.
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)' "$log" | tail -n 2
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log"
  if [ "$rc" -ne 0 ]; then
    echo "fuzz_$t stopped with status $rc:"
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -n 5
    status=1
  fi
done
exit $status
