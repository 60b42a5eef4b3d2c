#!/bin/sh
# Runs the demo on the sample images and checks its output folder: every
# operation succeeded, the page names only files that exist, and each smart
# thumbnail has its kept region outlined on its source.
# usage: check_demo.sh DEMO SAMPLES OUT
set -eu
demo=$1 samples=$2 out=$3
rm -rf "$out"
"$demo" "$samples" "$out"
page=$out/index.html
[ -s "$page" ] || { echo "no contact sheet at $page"; exit 1; }

missing=0
for src in $(grep -o ' src="[^"]*"' "$page" | sed 's/^ src="//; s/"$//'); do
  [ -f "$out/$src" ] || { echo "the page shows $src, which does not exist"; missing=$((missing + 1)); }
done
[ "$missing" -eq 0 ] || exit 1

# Six samples, each with a source, a square, four ratios, three smart crops
# and its batch thumbnail.
images=$(grep -o '<img ' "$page" | wc -l)
[ "$images" -eq 60 ] || { echo "expected 60 images on the page, found $images"; exit 1; }
smart=$(grep -o '<b>smart [^<]*</b>' "$page" | wc -l)
outlines=$(grep -o 'class="kept"' "$page" | wc -l)
[ "$smart" -eq 18 ] && [ "$outlines" -eq "$smart" ] ||
  { echo "$smart smart thumbnails, $outlines outlined regions"; exit 1; }
# Sources and thumbnails that browsers may not show come as PNG copies.
for f in $(grep -o 'src="[^"]*\.\(tga\|bmp\)"' "$page" || true); do
  echo "the page shows $f directly"; exit 1
done
echo "contact sheet: $images images, $outlines outlined regions"
