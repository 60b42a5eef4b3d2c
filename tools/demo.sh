#!/bin/sh
# The library's main job in one command. Builds it and its command imgthumb,
# then makes thumbnails with imgthumb's every operation (a square, the four
# aspect ratios, smart crops of three sizes, and a batch over the folder) and
# writes a contact sheet beside them.
#
#   sh tools/demo.sh               of the sample images the project draws itself
#   sh tools/demo.sh FOLDER        of the images in FOLDER (its files, not its subfolders)
#
# Output: demo-out/ (or the folder in DEMO_OUT); open demo-out/index.html.
# The folder holds everything the page shows and can be moved. Exits 1 when
# a file failed (each with imgthumb's line for it). Installs what it needs
# first (as root).
set -eu
here=$(pwd)
absolute() { # path -> absolute path, from where the command was given
  case $1 in /*) echo "$1" ;; *) echo "$here/$1" ;; esac
}
images=""
if [ $# -gt 0 ]; then
  [ -d "$1" ] || { echo "not a folder: $1" >&2; exit 2; }
  images=$(absolute "$1")
fi
cd "$(dirname "$0")/.."
out=$(absolute "${DEMO_OUT:-$(pwd)/demo-out}")

sh tools/install-deps.sh build
mkdir -p build
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DIMGTHUMB_TESTS=OFF >build/demo.configure.log 2>&1 ||
  { cat build/demo.configure.log; exit 1; }
cmake --build build/demo --target imgthumb imgthumb_demo imgthumb_make_samples

mkdir -p "$out"
if [ -z "$images" ]; then
  images=$out/samples
  rm -rf "$images"
  build/demo/bin/imgthumb_make_samples "$images"
  echo "sample images drawn into $images"
fi
status=0
build/demo/bin/imgthumb_demo "$images" "$out" build/demo/bin/imgthumb || status=$?
[ "$status" -le 1 ] && echo "open $out/index.html in a browser"
exit "$status"
