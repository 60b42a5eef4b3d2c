#!/bin/sh
# The library opens each input file once: the checks before decoding and the
# decoder read the same stream. Runs a fuzz target (standalone build) over
# one seed of each guarded format under strace and counts the opens of its
# input file: one write (the target writes the file) and one read each.
#   usage: check_one_open.sh FUZZ_TARGET SEED...
# Exits 77 (skipped) when strace is missing.
set -u
target=$1
shift
command -v strace >/dev/null 2>&1 || { echo "strace not installed"; exit 77; }
# The leak checker of a sanitizer build cannot run under ptrace.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
status=0
for seed in "$@"; do
  log=$(mktemp)
  strace -f -qq -e trace=open,openat -o "$log" "$target" "$seed" >/dev/null 2>&1 ||
    { echo "$seed: the target failed"; status=1; }
  reads=$(grep -c '/input", O_RDONLY' "$log")
  if [ "$reads" -ne 1 ]; then
    echo "$seed: the input was opened for reading $reads times:"
    grep '/input"' "$log"
    status=1
  fi
  rm -f "$log"
done
[ "$status" -eq 0 ] && echo "every input opened once for reading"
exit $status
