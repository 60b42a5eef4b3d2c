#!/bin/sh
# A process killed (SIGKILL) at random moments while it writes a large
# thumbnail over and over leaves nothing but the output: the old one or the
# new one, always whole, and never a partial file beside it. The new file
# has no name until it is whole; replacing an existing output then takes two
# steps (a temporary name, then the rename over the output), and a kill that
# lands in the instant between them leaves the complete file under its
# temporary name: counted, and allowed, as it is no partial file.
# usage: check_killed_writer.sh SQUARE_HOST INPUT WORK_DIR [KILLS]
set -u
host=$1 input=$2 work=$3 kills=${4:-40}
rm -rf "$work"
mkdir -p "$work/out"
# A BMP of 2048 x 2048 is written as it is encoded (12 MiB): a long window.
size=2048
output="$work/out/thumb.bmp"
whole=$((54 + size * size * 3))
"$host" "$input" "$output" $size 1 || { echo "the host cannot make the thumbnail"; exit 1; }
bad=0
between=0
i=0
while [ $i -lt "$kills" ]; do
  i=$((i + 1))
  "$host" "$input" "$output" $size 0 &
  pid=$!
  # A random moment within the first second and a half.
  sleep "$(awk -v s="$i$$" 'BEGIN { srand(s); printf "%.3f", 0.05 + rand() * 1.5 }')"
  kill -9 $pid 2>/dev/null
  wait $pid 2>/dev/null
  for t in "$work"/out/.imgthumb-*.tmp; do
    [ -e "$t" ] || continue
    if [ "$(wc -c < "$t")" -eq $whole ]; then
      between=$((between + 1))
      rm -f "$t"
    fi
  done
  left=$(ls -A "$work/out")
  if [ "$left" != "thumb.bmp" ]; then
    echo "kill $i left: $left"
    bad=$((bad + 1))
  elif [ "$(wc -c < "$output")" -ne $whole ]; then
    echo "kill $i left a partial output ($(wc -c < "$output") bytes)"
    bad=$((bad + 1))
  fi
  rm -f "$work"/out/.imgthumb-*
done
echo "$kills kills: $bad left something else; $between landed between naming and renaming a whole file"
[ $bad -eq 0 ]
