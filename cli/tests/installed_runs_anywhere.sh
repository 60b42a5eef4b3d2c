#!/bin/sh
# Installs a Linux build into a scratch prefix and runs the installed
# imgthumb from there, with no LD_LIBRARY_PATH: it must load the installed
# library through its $ORIGIN-relative run path.
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
loaded=$(env -u LD_LIBRARY_PATH ldd "$prog" | sed -n 's/.*libquintaro-imgthumbnail[^ ]* => \([^ ]*\) .*/\1/p')
[ -n "$loaded" ] && [ "$(readlink -f "$loaded")" = "$(readlink -f "$prefix/$libdir/libquintaro-imgthumbnail.so.1")" ] ||
  { echo "the installed program does not load the installed library:"; ldd "$prog"; exit 1; }
env -u LD_LIBRARY_PATH "$prog" --version
env -u LD_LIBRARY_PATH "$prog" square 48 -o "$work/out" "$image"
[ -f "$work/out/balloon.png" ]
