#!/bin/sh
# Installs a Linux build into a scratch prefix, checks that exactly the
# public pieces landed, and builds a small program using both libraries
# against that copy twice:
# through the CMake package and through pkg-config. Each must run and link
# the installed library, not the build tree's, with no LD_LIBRARY_PATH: the
# CMake program once installed (its RPATH from the link path), the other
# linked with the RPATH the README gives.
# usage: check_install.sh BUILD_DIR WORK_DIR IMAGE LIBDIR VERSION C_COMPILER
set -eu
build=$1 work=$2 image=$3 libdir=$4 version=$5 cc=$6
here=$(cd "$(dirname "$0")" && pwd)
major=${version%%.*}
rm -rf "$work"
mkdir -p "$work"
prefix=$(cd "$work" && pwd)/prefix

cmake --install "$build" --prefix "$prefix" >"$work/install.log"

# The export file of the build type is named after it; compare it as CONFIG.
(cd "$prefix" && find . ! -type d | sed 's/-targets-[a-z]*\.cmake$/-targets-CONFIG.cmake/' | sort) >"$work/installed.txt"
sort >"$work/expected.txt" <<LIST
./bin/imgthumb
./include/imgthumbnail.h
./include/imgthumbnail_ex.h
./$libdir/cmake/quintaro-imgthumbnail/quintaro-imgthumbnail-config-version.cmake
./$libdir/cmake/quintaro-imgthumbnail/quintaro-imgthumbnail-config.cmake
./$libdir/cmake/quintaro-imgthumbnail/quintaro-imgthumbnail-targets-CONFIG.cmake
./$libdir/cmake/quintaro-imgthumbnail/quintaro-imgthumbnail-targets.cmake
./$libdir/libquintaro-imgthumbnail.so
./$libdir/libquintaro-imgthumbnail.so.$major
./$libdir/libquintaro-imgthumbnail.so.$version
./$libdir/libquintaro-imgthumbnail-ex.so
./$libdir/libquintaro-imgthumbnail-ex.so.$major
./$libdir/libquintaro-imgthumbnail-ex.so.$version
./$libdir/pkgconfig/quintaro-imgthumbnail.pc
./$libdir/pkgconfig/quintaro-imgthumbnail-ex.pc
LIST
if ! cmp -s "$work/expected.txt" "$work/installed.txt"; then
  echo "installed files differ from the expected ones (< expected, > installed):"
  diff "$work/expected.txt" "$work/installed.txt" || true
  exit 1
fi
for lib in quintaro-imgthumbnail quintaro-imgthumbnail-ex; do
  soname=$(objdump -p "$prefix/$libdir/lib$lib.so.$version" | sed -n 's/^ *SONAME *//p')
  [ "$soname" = "lib$lib.so.$major" ] || { echo "SONAME of $lib is '$soname'"; exit 1; }
done

uses_installed_copy() { # program
  for lib in quintaro-imgthumbnail quintaro-imgthumbnail-ex; do
    loaded=$(ldd "$1" | sed -n "s/^.*lib$lib.so.$major => \(.*\) (0x.*$/\1/p")
    [ -n "$loaded" ] && [ "$(realpath "$loaded")" = "$(realpath "$prefix/$libdir/lib$lib.so.$major")" ] ||
      { echo "$1 does not load the installed $lib:"; ldd "$1"; exit 1; }
  done
}

echo "== CMake package"
unset LD_LIBRARY_PATH
cmake -S "$here/consumer" -B "$work/cmake-consumer" -G Ninja -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_PREFIX_PATH="$prefix" >"$work/cmake-consumer.log" 2>&1 || { cat "$work/cmake-consumer.log"; exit 1; }
cmake --build "$work/cmake-consumer"
uses_installed_copy "$work/cmake-consumer/consumer"
"$work/cmake-consumer/consumer" "$image" "$work/cmake-thumb.png"
cmake --install "$work/cmake-consumer" --prefix "$work/app" >/dev/null
uses_installed_copy "$work/app/bin/consumer"
"$work/app/bin/consumer" "$image" "$work/cmake-installed-thumb.png"

echo "== pkg-config"
# Only the installed copy's .pc file is in view.
PKG_CONFIG_LIBDIR="$prefix/$libdir/pkgconfig"
PKG_CONFIG_PATH=
export PKG_CONFIG_LIBDIR PKG_CONFIG_PATH
for lib in quintaro-imgthumbnail quintaro-imgthumbnail-ex; do
  [ "$(pkg-config --modversion $lib)" = "$version" ] ||
    { echo "pkg-config reports version $(pkg-config --modversion $lib) for $lib"; exit 1; }
done
# shellcheck disable=SC2046
"$cc" -o "$work/pc-consumer" "$here/consumer/consumer.c" \
  $(pkg-config --cflags --libs quintaro-imgthumbnail quintaro-imgthumbnail-ex) \
  -Wl,-rpath,"$(pkg-config --variable=libdir quintaro-imgthumbnail)"
uses_installed_copy "$work/pc-consumer"
"$work/pc-consumer" "$image" "$work/pc-thumb.png"
echo "installed copy works through both"
