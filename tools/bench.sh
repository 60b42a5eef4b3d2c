#!/bin/sh
# Builds the benchmark (Release build in build/bench) and runs it:
#   1. the stage benchmarks (Google Benchmark: every step alone, each
#      operation in-process against its floor), unless --pairs-only;
#   2. each operation against its bare floor (the decoder alone plus the
#      encoder writing the same thumbnail) as alternating fresh processes,
#      CPU time and peak memory, in two rounds: the targets;
#   3. with --against=REV, a Release build of git revision REV beside this
#      tree: its operations against the same floor, and its resampler and
#      this tree's in turns (the speed-up targets).
#
#   sh tools/bench.sh [--pairs-only] [--pairs=N] [--against=REV] [--images=DIR] [benchmark flags...]
#
# --images=DIR (or IMGTHUMB_BENCH_IMAGES=DIR) adds the image files of DIR to
# the stage benchmarks. Without --benchmark_repetitions the stage benchmarks
# repeat everything 5 times. Timings on a busy machine are noisy: everything
# goes by CPU time, and comparisons by the median of ratios of runs made
# next to each other.
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
sh tools/install-deps.sh build bench

stages=1
pairs=--pairs=15
against=
repetitions=--benchmark_repetitions=5
for a in "$@"; do
  case $a in
    --pairs-only) stages=0 ;;
    --pairs=*) pairs=$a ;;
    --against=*) against=${a#--against=} ;;
    --benchmark_repetitions=*) repetitions= ;;
  esac
done
# Everything else goes to the stage benchmarks.
for a in "$@"; do
  shift
  case $a in
    --pairs-only | --pairs=* | --against=*) ;;
    *) set -- "$@" "$a" ;;
  esac
done

dir=build/bench
mkdir -p build
cmake -S . -B $dir -G Ninja -DCMAKE_BUILD_TYPE=Release -DIMGTHUMB_TESTS=OFF >$dir.configure.log 2>&1 ||
  { cat $dir.configure.log; exit 1; }
cmake --build $dir --target imgthumb_bench imgthumb_pairs imgthumb_run imgthumb_floor imgthumb_resample
bin=$dir/bin

if [ $stages = 1 ]; then
  # shellcheck disable=SC2086
  $bin/imgthumb_bench $repetitions --benchmark_report_aggregates_only=true "$@"
fi

if [ -n "$against" ]; then
  asrc=build/against-src
  abuild=build/against
  rm -rf $asrc
  mkdir -p $asrc
  git archive "$against" | tar -x -C $asrc
  cmake -S $asrc -B $abuild -G Ninja -DCMAKE_BUILD_TYPE=Release -DIMGTHUMB_TESTS=OFF >$abuild.configure.log 2>&1 ||
    { cat $abuild.configure.log; exit 1; }
  cmake --build $abuild --target quintaro-imgthumbnail imgthumb_internal
  # This tree's measuring programs, built on the other revision's library:
  # the resampler through its whole-image call, the operations through the
  # shared library. They include the headers by their places in the folders
  # (include/imgthumbnail.h, src/pixels/resample.h); a revision with every
  # file flat in src/ gets a shim of those places.
  inc="-I$asrc/src"
  [ -d "$asrc/include" ] && inc="$inc -I$asrc/include"
  if [ ! -d "$asrc/src/pixels" ]; then
    mkdir -p "$abuild/shim/pixels"
    echo '#include "resample.h"' >"$abuild/shim/pixels/resample.h"
    inc="$inc -I$abuild/shim"
  fi
  # (zlib for revisions whose PNG reader uses it; unused by older ones.)
  # shellcheck disable=SC2086
  c++ -O2 -std=c++17 $inc bench/resample_time.cpp $abuild/lib/libimgthumb_internal.a -lz -lm \
    -o $abuild/imgthumb_resample
  # shellcheck disable=SC2086
  c++ -O2 -std=c++17 $inc bench/run_operation.cpp -L$abuild/lib -lquintaro-imgthumbnail \
    -Wl,-rpath,"$top/$abuild/lib" -o $abuild/imgthumb_run
fi

missed=0
for round in 1 2; do
  echo
  echo "== Round $round =="
  $bin/imgthumb_pairs $pairs || missed=$((missed + $?))
  if [ -n "$against" ]; then
    echo "-- the same operations, built from $against --"
    $bin/imgthumb_pairs $pairs --runner="$top/$abuild/imgthumb_run" || true
  fi
done

if [ -n "$against" ]; then
  echo
  echo "Resampler, $against against this tree: 11 runs of each in turns, fastest of 5 calls per run;"
  echo "the speed-up is the median of the ratios of adjacent runs."
  printf '%-28s %10s %10s %9s %7s  %s\n' case "$against ms" "this ms" speed-up target verdict
  for c in "5640 3172 256 256 2.5" "3172 3172 256 256 1.6"; do
    set -- $c
    ratios= old_ms= new_ms= same=yes
    i=0
    while [ $i -lt 11 ]; do
      if [ $((i % 2)) = 0 ]; then
        o=$($abuild/imgthumb_resample $1 $2 $3 $4 5)
        n=$($bin/imgthumb_resample $1 $2 $3 $4 5)
      else
        n=$($bin/imgthumb_resample $1 $2 $3 $4 5)
        o=$($abuild/imgthumb_resample $1 $2 $3 $4 5)
      fi
      [ "${o##* }" = "${n##* }" ] || same=no
      o=${o%% *} n=${n%% *}
      ratios="$ratios $(awk -v o="$o" -v n="$n" 'BEGIN { print o / n }')"
      old_ms="$old_ms $o" new_ms="$new_ms $n"
      i=$((i + 1))
    done
    median() { echo "$@" | tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
    r=$(median $ratios)
    verdict=$(awk -v r="$r" -v t="$5" 'BEGIN { print (r >= t ? "met" : "MISSED") }')
    [ $same = yes ] || verdict="$verdict (results differ!)"
    [ "${verdict%% *}" = met ] && [ $same = yes ] || missed=$((missed + 1))
    printf '%-28s %10s %10s %9s %7s  %s\n' "$1x$2 -> $3x$4" "$(median $old_ms)" "$(median $new_ms)" "$r" "$5" "$verdict"
  done
fi
echo
[ $missed -eq 0 ] && echo "all targets met" || echo "$missed target(s) missed"
