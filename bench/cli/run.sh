#!/bin/sh
# The imgthumb command against its peers on photo-like folders: 200 PNG and
# 200 baseline JPEG images of 2 to 12 megapixels (made once by
# make_photos.c), each folder turned into 256 x 256 centred squares (PNG) by
#   imgthumb square 256 -j 1          one worker process
#   imgthumb square 256 -j N          N = the number of CPUs
#   vipsthumbnail -s 256x256 -c       (crop to fill) with its default threads
#   mogrify -thumbnail 256x256^ -gravity center -extent 256x256   ImageMagick, default threads
# timed by hyperfine, all in one run. Prints files per second and ratios.
#
#   sh bench/cli/run.sh [--generate-only]
#
# IMGTHUMB_BENCH_CLI_DIR  where the images are made (once) and the thumbnails
#                         written (default /tmp/imgthumb-bench; about 4 GB)
# BENCH_RUNS              hyperfine runs of each command (default 1)
# BENCH_COUNT             images of each kind (default 200; fewer for a quick look)
# BENCH_KINDS             the folders timed (default "png jpeg")
set -eu
cd "$(dirname "$0")/../.."
data=${IMGTHUMB_BENCH_CLI_DIR:-/tmp/imgthumb-bench}
runs=${BENCH_RUNS:-1}
count=${BENCH_COUNT:-200}
kinds=${BENCH_KINDS:-png jpeg}
build=build/bench-cli

mkdir -p build "$data"
cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release -DIMGTHUMB_TESTS=OFF -DIMGTHUMB_BENCH=OFF \
  >$build.configure.log 2>&1 || { cat $build.configure.log; exit 1; }
cmake --build $build --target imgthumb >/dev/null
prog=$(pwd)/$build/bin/imgthumb
cc -O2 -std=c99 bench/cli/make_photos.c -o $build/make_photos -lm

# The images are made once; the stamp names the generator and the count.
stamp="$(cksum <bench/cli/make_photos.c | cut -d' ' -f1)-$count"
if [ "$(cat "$data/stamp" 2>/dev/null)" != "$stamp" ]; then
  echo "making $count PNG and $count JPEG images in $data (minutes)..."
  rm -rf "$data/png" "$data/jpeg" "$data/stamp"
  mkdir -p "$data/png" "$data/jpeg"
  $build/make_photos "$data" $count
  echo "$stamp" >"$data/stamp"
fi
[ "${1:-}" = --generate-only ] && exit 0

cpus=$(nproc)
out=$data/out
echo "$cpus CPUs; $(vipsthumbnail --vips-version); $(convert -version | head -n 1)"
for kind in $kinds; do
  in=$data/$kind
  hyperfine --runs "$runs" --export-csv "$data/$kind.csv" --prepare "rm -rf '$out' && mkdir -p '$out'" \
    -n "imgthumb -j 1" "'$prog' square 256 -q -j 1 -o '$out' '$in'" \
    -n "imgthumb -j $cpus" "'$prog' square 256 -q -j $cpus -o '$out' '$in'" \
    -n "vipsthumbnail" "vipsthumbnail -s 256x256 -c -o '$out/%s.png' '$in'/*" \
    -n "mogrify" "mogrify -path '$out' -format png -thumbnail '256x256^' -gravity center -extent 256x256 '$in'/*"
  # Every command must have made all the thumbnails (the last one's are left).
  made=$(ls "$out" | wc -l)
  [ "$made" -eq $count ] || { echo "mogrify made $made thumbnails of $count"; exit 1; }
done

echo
echo "| folder | command | seconds | CPU seconds | files/s | imgthumb -j $cpus is ... times as fast |"
echo "|---|---|---|---|---|---|"
for kind in $kinds; do
  awk -F, -v kind=$kind -v count=$count '
    NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
    { name[NR] = $col["command"]; mean[NR] = $col["mean"]; cpu[NR] = $col["user"] + $col["system"] }
    END {
      best = mean[3]   # imgthumb -j N
      for (r = 2; r <= NR; r++)
        printf "| %s | %s | %.1f | %.1f | %.2f | %.2f |\n", kind, name[r], mean[r], cpu[r], count / mean[r], mean[r] / best
    }' "$data/$kind.csv"
done
