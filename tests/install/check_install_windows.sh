#!/bin/sh
# Installs a Windows build into a scratch prefix, checks that the DLL (with
# no debug sections), its import libraries for mingw and Visual Studio, the
# header and the package files landed (and nothing internal), runs the
# installed imgthumb.exe beside its two DLLs, then builds a small program
# against that copy twice, with the flags its pkg-config file gives and
# through the CMake package found by CMAKE_PREFIX_PATH, and runs each under
# wine.
# Paths are relative to the working directory: wine maps that, not Unix paths.
# usage: check_install_windows.sh BUILD_DIR WORK_DIR IMAGE C_COMPILER WINE_RUN TOOLCHAIN_FILE OBJDUMP
set -eu
build=$1 work=$2 image=$3 cc=$4 wine_run=$5 toolchain=$6 objdump=$7
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

(cd "$prefix" && find . ! -type d | sed 's/-targets-[a-z]*\.cmake$/-targets-CONFIG.cmake/' | sort) >"$work/installed.txt"
sort >"$work/expected.txt" <<LIST
./bin/imgthumb.exe
./bin/quintaro-imgthumbnail.dll
./bin/quintaro-imgthumbnail-ex.dll
./include/imgthumbnail.h
./include/imgthumbnail_ex.h
./lib/cmake/quintaro-imgthumbnail/quintaro-imgthumbnail-config-version.cmake
./lib/cmake/quintaro-imgthumbnail/quintaro-imgthumbnail-config.cmake
./lib/cmake/quintaro-imgthumbnail/quintaro-imgthumbnail-targets-CONFIG.cmake
./lib/cmake/quintaro-imgthumbnail/quintaro-imgthumbnail-targets.cmake
./lib/pkgconfig/quintaro-imgthumbnail.pc
./lib/pkgconfig/quintaro-imgthumbnail-ex.pc
./lib/quintaro-imgthumbnail.def
./lib/quintaro-imgthumbnail.dll.a
./lib/quintaro-imgthumbnail.lib
./lib/quintaro-imgthumbnail-ex.def
./lib/quintaro-imgthumbnail-ex.dll.a
./lib/quintaro-imgthumbnail-ex.lib
LIST
if ! cmp -s "$work/expected.txt" "$work/installed.txt"; then
  echo "installed files differ from the expected ones (< expected, > installed):"
  diff "$work/expected.txt" "$work/installed.txt" || true
  exit 1
fi

for dll in quintaro-imgthumbnail quintaro-imgthumbnail-ex; do
  debug=$("$objdump" -h "$prefix/bin/$dll.dll" | awk '$2 ~ /^\.debug/ { print $2 }' | tr '\n' ' ')
  [ -z "$debug" ] || { echo "the installed $dll.dll carries debug sections: $debug"; exit 1; }
done

# The installed command imports the two libraries (and the system's DLLs
# alone besides), which sit beside it, and runs from there.
imports=$("$objdump" -p "$prefix/bin/imgthumb.exe" | sed -n 's/^[[:space:]]*DLL Name: \(quintaro-.*\)/\1/p' | sort |
  tr '\n' ' ')
[ "$imports" = "quintaro-imgthumbnail-ex.dll quintaro-imgthumbnail.dll " ] ||
  { echo "the installed imgthumb.exe imports the libraries: $imports"; exit 1; }
"$wine_run" "$prefix/bin/imgthumb.exe" fit 48x48 -q -o "$work/cli" "$image"
[ -s "$work/cli/balloon.png" ] || { echo "the installed imgthumb.exe wrote no thumbnail"; exit 1; }

PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
PKG_CONFIG_PATH=
export PKG_CONFIG_LIBDIR PKG_CONFIG_PATH
here=$(cd "$(dirname "$0")" && pwd)
# The program goes beside the DLL, where Windows looks for it first.
# shellcheck disable=SC2046
"$cc" -o "$prefix/bin/consumer.exe" "$here/consumer/consumer.c" $(pkg-config --cflags --libs quintaro-imgthumbnail quintaro-imgthumbnail-ex)
"$wine_run" "$prefix/bin/consumer.exe" "$image" "$work/thumb.png"
[ -s "$work/thumb.png" ] || { echo "no thumbnail written"; exit 1; }

echo "== CMake package through CMAKE_PREFIX_PATH"
abs_prefix=$(cd "$prefix" && pwd)
cmake -S "$here/consumer" -B "$work/cmake-consumer" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_PREFIX_PATH="$abs_prefix" >"$work/cmake-consumer.log" 2>&1 || { cat "$work/cmake-consumer.log"; exit 1; }
cmake --build "$work/cmake-consumer" >/dev/null
cp "$work/cmake-consumer/consumer.exe" "$prefix/bin/cmake-consumer.exe"
"$wine_run" "$prefix/bin/cmake-consumer.exe" "$image" "$work/cmake-thumb.png"
cmp "$work/thumb.png" "$work/cmake-thumb.png" || { echo "the two programs wrote different thumbnails"; exit 1; }
echo "installed DLL works"
