#!/bin/sh
# Installs a Linux build into a scratch prefix and runs the installed
# imgthumb from there, with no LD_LIBRARY_PATH: it must load both installed
# libraries through its $ORIGIN-relative run path.
# usage: installed_runs_anywhere.sh BUILD_DIR WORK IMAGE LIBDIR
set -eu
build=$1 work=$2 image=$3 libdir=$4
rm -rf "$work"
mkdir -p "$work"
prefix=$(cd "$work" && pwd)/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
prog=$prefix/bin/imgthumb
objdump -p "$prog" | grep -E '(RUNPATH|RPATH) +\$ORIGIN/\.\./'"$libdir"'$' >/dev/null ||
  { echo "no \$ORIGIN run path:"; objdump -p "$prog" | grep -E 'RUNPATH|RPATH'; exit 1; }
env -u LD_LIBRARY_PATH ldd "$prog" >"$work/ldd.txt"
for lib in libquintaro-imgthumbnail.so.1 libquintaro-imgthumbnail-ex.so.1; do
  loaded=$(sed -n "s/^[[:space:]]*$lib => \([^ ]*\) .*/\1/p" "$work/ldd.txt")
  [ -n "$loaded" ] && [ "$(readlink -f "$loaded")" = "$(readlink -f "$prefix/$libdir/$lib")" ] ||
    { echo "the installed program does not load the installed $lib:"; cat "$work/ldd.txt"; exit 1; }
done
env -u LD_LIBRARY_PATH "$prog" --version
# One thumbnail through each library: the options library's, the batch's.
env -u LD_LIBRARY_PATH "$prog" fit 48x48 -o "$work/out" "$image"
[ -f "$work/out/balloon.png" ]
mkdir -p "$work/in"
cp "$image" "$work/in/"
env -u LD_LIBRARY_PATH "$prog" batch 48 "$work/in" "$work/batch"
[ -f "$work/batch/balloon.png" ]
