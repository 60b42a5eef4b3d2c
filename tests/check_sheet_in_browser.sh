#!/bin/sh
# Opens each of the demo's contact sheets in headless Chromium and fails
# unless every image on it loaded (the page's own script counts the <img>
# elements whose naturalWidth is above 0). A copy of the first page without
# its folder must report the images missing, which shows that the check can
# fail. Exits 77 (skipped) when Chromium is not installed.
# usage: check_sheet_in_browser.sh WORK_DIR PAGE...
set -eu
work=$1
shift
browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "chromium is not installed: skipped"; exit 77; }
rm -rf "$work"
mkdir -p "$work/alone"

loaded() { # page -> "loaded/total" as the page reports it
  rm -rf "$work/profile"
  mkdir -p "$work/profile"
  "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" --virtual-time-budget=10000 \
    --dump-dom "file://$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" 2>"$work/browser.log" |
    grep -o 'data-images-loaded="[0-9]*/[0-9]*"' | sed 's/.*="//; s/"//'
}

for page in "$@"; do
  total=$(grep -o '<img ' "$page" | wc -l)
  result=$(loaded "$page")
  echo "$page: $result images loaded"
  [ "$total" -gt 0 ] && [ "$result" = "$total/$total" ] ||
    { echo "expected $total/$total"; cat "$work/browser.log"; exit 1; }
done

cp "$1" "$work/alone/index.html"
total=$(grep -o '<img ' "$1" | wc -l)
result=$(loaded "$work/alone/index.html")
echo "page without its images: $result loaded"
[ "$result" = "0/$total" ] || { echo "expected 0/$total: the check does not see missing images"; exit 1; }
