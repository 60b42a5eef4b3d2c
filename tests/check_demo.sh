#!/bin/sh
# Runs the demo and checks what it reports and the contact sheet it writes:
# - on the sample images it exits 0, every thumbnail is on the page and each
#   smart crop's region is outlined on its source;
# - its output folder, moved elsewhere, still holds every file the page
#   names (the page names none outside it);
# - on a folder with files the command cannot read it exits 1, and prints
#   and shows the command's own line for each of them.
# usage: check_demo.sh DEMO IMGTHUMB SAMPLES WORK
set -eu
demo=$1 imgthumb=$2 samples=$3 work=$4
rm -rf "$work"
mkdir -p "$work"
fail() { echo "$*"; exit 1; }

count() { # pattern file -> how many times the pattern occurs
  { grep -o "$1" "$2" || true; } | wc -l
}

# Every src and href of the page names a file inside the page's folder: no
# path that climbs out, no absolute path, no URL scheme.
check_links() { # folder
  n=0
  for link in $(grep -o ' \(src\|href\)="[^"]*"' "$1/index.html" | sed 's/^ [a-z]*="//; s/"$//'); do
    case $link in
      \#*) continue ;;
      ../* | */../* | /* | *:*) fail "$1/index.html links $link, which is not inside its folder" ;;
    esac
    [ -f "$1/$link" ] || fail "$1/index.html links $link, which does not exist"
    n=$((n + 1))
  done
  echo "$1: $n links, each to a file inside the folder"
}

# ---- The samples -------------------------------------------------------------
out=$work/out
"$demo" "$samples" "$out" "$imgthumb" >"$work/samples.log" 2>&1 ||
  { cat "$work/samples.log"; fail "the demo failed on the sample images"; }
grep -q '^54 thumbnails of 6 files in .*, 0 files failed$' "$work/samples.log" ||
  { cat "$work/samples.log"; fail "unexpected summary"; }
page=$out/index.html
# Six samples, each with a source, a square, four ratios, three smart crops
# and its batch thumbnail.
images=$(count '<img ' "$page")
[ "$images" -eq 60 ] || fail "expected 60 images on the page, found $images"
smart=$(count '<b>smart [^<]*</b>' "$page")
outlines=$(count 'class="kept"' "$page")
[ "$smart" -eq 18 ] && [ "$outlines" -eq "$smart" ] || fail "$smart smart thumbnails, $outlines outlined regions"
# Sources and thumbnails that browsers may not show come as PNG copies.
[ "$(count 'src="[^"]*\.\(tga\|bmp\)"' "$page")" -eq 0 ] || fail "the page shows a BMP or TGA file directly"
# Each thumbnail is the command's: the same bytes as imgthumb itself writes.
"$imgthumb" smart 144x81 -q -e jpg -o "$work/direct" "$samples/panorama.jpg" 2>/dev/null
cmp "$work/direct/panorama.jpg" "$out/thumbs/smart-144x81/panorama.jpg"
check_links "$out"

# ---- The same folder, moved ----------------------------------------------------
mkdir -p "$work/moved/deeper"
mv "$out" "$work/moved/deeper/sheet"
check_links "$work/moved/deeper/sheet"

# ---- A folder with files the command cannot read -----------------------------
mixed=$work/mixed
mkdir -p "$mixed"
cp "$samples/balloon.png" "$samples/grey.jpg" "$mixed/"
echo "not an image" >"$mixed/notes.txt"
head -c 100 "$samples/balloon.png" >"$mixed/cut.png"
status=0
"$demo" "$mixed" "$work/mixed-out" "$imgthumb" >"$work/mixed.log" 2>"$work/mixed.err" || status=$?
[ "$status" -eq 1 ] || { cat "$work/mixed.log" "$work/mixed.err"; fail "expected exit status 1, got $status"; }
grep -q '^18 thumbnails of 4 files in .*, 2 files failed$' "$work/mixed.log" ||
  { cat "$work/mixed.log"; fail "unexpected summary"; }
page=$work/mixed-out/index.html
for name in notes.txt cut.png; do
  # The line the command itself gives for the file, printed once and shown
  # on the page (HTML-escaped).
  "$imgthumb" square 16 -o "$work/direct" "$mixed/$name" 2>"$work/direct.err" && fail "imgthumb read $name"
  line=$(head -n 1 "$work/direct.err")
  [ "$(grep -Fxc "$line" "$work/mixed.err")" -eq 1 ] ||
    { cat "$work/mixed.err"; fail "the demo did not print once: $line"; }
  shown=$(printf '%s\n' "$line" | sed "s/&/\&amp;/g; s/'/\&#39;/g")
  grep -Fq "<div class=\"failed unread\">$shown</div>" "$page" || fail "the page does not show: $line"
done
grep -Fxq "$mixed/notes.txt: cannot decode '$mixed/notes.txt': unknown image type" "$work/mixed.err" ||
  fail "notes.txt is not reported with the library's message"
grep -Fq '2 of 4 files failed:</b> <a href="#cut.png">cut.png</a>, <a href="#notes.txt">notes.txt</a>.' "$page" ||
  fail "the page does not list the failed files at its top"
images=$(count '<img ' "$page")
[ "$images" -eq 20 ] || fail "expected 20 images on the page, found $images"
check_links "$work/mixed-out"
echo "contact sheet: 60 images, $outlines outlined regions; 2 unreadable files reported"
