#!/bin/sh
# Installs a Windows build into a scratch prefix, checks that the DLL, its
# import library, the header and the package files landed (and nothing
# internal), then compiles a small program against that copy with the flags
# its pkg-config file gives and runs it under wine.
# Paths are relative to the working directory: wine maps that, not Unix paths.
# usage: check_install_windows.sh BUILD_DIR WORK_DIR IMAGE C_COMPILER WINE_RUN
set -eu
build=$1 work=$2 image=$3 cc=$4 wine_run=$5
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

(cd "$prefix" && find . ! -type d | sed 's/-targets-[a-z]*\.cmake$/-targets-CONFIG.cmake/' | sort) >"$work/installed.txt"
sort >"$work/expected.txt" <<LIST
./bin/imgthumb.exe
./bin/quintaro-imgthumbnail.dll
./include/imgthumbnail.h
./lib/cmake/quintaro-imgthumbnail/quintaro-imgthumbnail-config-version.cmake
./lib/cmake/quintaro-imgthumbnail/quintaro-imgthumbnail-config.cmake
./lib/cmake/quintaro-imgthumbnail/quintaro-imgthumbnail-targets-CONFIG.cmake
./lib/cmake/quintaro-imgthumbnail/quintaro-imgthumbnail-targets.cmake
./lib/pkgconfig/quintaro-imgthumbnail.pc
./lib/quintaro-imgthumbnail.dll.a
LIST
if ! cmp -s "$work/expected.txt" "$work/installed.txt"; then
  echo "installed files differ from the expected ones (< expected, > installed):"
  diff "$work/expected.txt" "$work/installed.txt" || true
  exit 1
fi

PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
PKG_CONFIG_PATH=
export PKG_CONFIG_LIBDIR PKG_CONFIG_PATH
here=$(cd "$(dirname "$0")" && pwd)
# The program goes beside the DLL, where Windows looks for it first.
# shellcheck disable=SC2046
"$cc" -o "$prefix/bin/consumer.exe" "$here/consumer/consumer.c" $(pkg-config --cflags --libs quintaro-imgthumbnail)
"$wine_run" "$prefix/bin/consumer.exe" "$image" "$work/thumb.png"
[ -s "$work/thumb.png" ] || { echo "no thumbnail written"; exit 1; }
echo "installed DLL works"
