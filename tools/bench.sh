#!/bin/sh
# Builds the benchmark (Release build in build/bench) and runs it, then
# compares the peak resident memory of a process that makes one square
# thumbnail of a PNG with that of the same process only decoding it.
#
#   sh tools/bench.sh [--memory-only] [--images=DIR] [benchmark flags...]
#
# --images=DIR (or IMGTHUMB_BENCH_IMAGES=DIR) adds the image files of DIR to
# the benchmark's own photographs, and its PNG files to the memory check.
# Without --benchmark_repetitions the benchmark repeats everything 5 times.
# Timings on a busy machine are noisy: the summary at the end goes by CPU
# time and by the fastest repetition.
set -eu
cd "$(dirname "$0")/.."
sh tools/install-deps.sh build bench

timings=1
user_dir=${IMGTHUMB_BENCH_IMAGES:-}
repetitions=--benchmark_repetitions=5
for a in "$@"; do
  case $a in
    --memory-only) timings=0 ;;
    --images=*) user_dir=${a#--images=} ;;
    --benchmark_repetitions=*) repetitions= ;;
  esac
done

dir=build/bench
mkdir -p build
cmake -S . -B $dir -G Ninja -DCMAKE_BUILD_TYPE=Release -DIMGTHUMB_TESTS=OFF >$dir.configure.log 2>&1 ||
  { cat $dir.configure.log; exit 1; }
cmake --build $dir --target imgthumb_bench imgthumb_rss_probe
bin=$dir/bin
data=$dir/bench-data

if [ $timings = 1 ]; then
  # Drop the script's own option; the benchmark takes all the others.
  for a in "$@"; do
    shift
    [ "$a" = --memory-only ] || set -- "$@" "$a"
  done
  # shellcheck disable=SC2086
  $bin/imgthumb_bench $repetitions --benchmark_report_aggregates_only=true "$@"
else
  $bin/imgthumb_bench --prepare-only >/dev/null
fi

# Peak resident set of one run of the probe, in KiB.
peak_kib() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): *//p'
}

echo
echo "Peak resident memory: one square 256 thumbnail of a W x H PNG, above decoding it alone"
echo "(limit: 0.25 x W x H x 4 bytes)"
printf '%-28s %12s %10s %10s %10s %10s  %s\n' png "W x H" "decode" "square" "above" "limit" "(MiB)"
missed=0
for png in "$data"/images/*.png ${user_dir:+"$user_dir"/*.png}; do
  [ -f "$png" ] || continue
  size=$($bin/imgthumb_rss_probe decode "$png") || continue
  w=${size% *} h=${size#* }
  decode=$(peak_kib $bin/imgthumb_rss_probe decode "$png")
  square=$(peak_kib $bin/imgthumb_rss_probe square "$png" "$data/out/rss-square.png" 256)
  above=$((square - decode))
  limit=$((w * h / 1024)) # 0.25 * w * h * 4 bytes, in KiB
  verdict=met
  [ $above -le $limit ] || { verdict=MISSED; missed=$((missed + 1)); }
  awk -v n="$(basename "$png")" -v s="${w}x$h" -v d="$decode" -v q="$square" -v a="$above" -v l="$limit" \
    -v v=$verdict 'BEGIN { printf "%-28s %12s %10.1f %10.1f %10.1f %10.1f  %s\n", n, s, d / 1024, q / 1024, a / 1024, l / 1024, v }' 
done
[ $missed -eq 0 ] || echo "$missed memory target(s) missed"
