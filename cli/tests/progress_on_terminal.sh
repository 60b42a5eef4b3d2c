#!/bin/sh
# On a terminal, a run of more than a few files draws a progress bar on
# stderr (done/total, files per second, time left), redrawn in place with
# carriage returns and cleared before the summary. `script` gives the
# program a terminal. Skipped (77) where `script` is missing.
# usage: progress_on_terminal.sh IMGTHUMB SAMPLES WORK
set -u
prog=$1 samples=$2 work=$3
command -v script >/dev/null 2>&1 || { echo "script(1) is not installed"; exit 77; }
rm -rf "$work"
mkdir -p "$work/in"
for i in 1 2 3 4 5 6 7 8; do cp "$samples/panorama.jpg" "$work/in/p$i.jpg"; done
script -qec "'$prog' smart 64x64 -j 2 -o '$work/out' '$work/in'" /dev/null >"$work/terminal.txt" </dev/null
status=0
tr '\r' '\n' <"$work/terminal.txt" >"$work/lines.txt"
grep -q '^\[#*\.*\] [0-9]/8  [0-9.]* files/s  [0-9-]*:[0-9-]* left' "$work/lines.txt" ||
  { echo "no progress line"; status=1; }
grep -q '8/8' "$work/lines.txt" || { echo "the bar never showed 8/8"; status=1; }
# The bar is drawn with carriage returns and wiped (spaces) before the summary.
grep -q "$(printf '\r *\r')imgthumb: 8 written, 0 failed, 0 skipped" "$work/terminal.txt" ||
  { echo "the bar was not cleared before the summary"; status=1; }
[ "$status" -eq 0 ] || cat -A "$work/terminal.txt"
exit $status
