#!/bin/sh
# Builds the library and makes square and aspect thumbnails of sample images
# that it writes itself, into demo-out/ (or the folder given as argument).
set -eu
cd "$(dirname "$0")/.."
sh tools/install-deps.sh
out=${1:-demo-out}
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DIMGTHUMB_TESTS=ON >/dev/null
cmake --build build/demo --target crosscheck_host
rm -rf "$out"
mkdir -p "$out"
build/demo/bin/crosscheck_host "$out"
echo "thumbnails written to $out/:"
ls "$out"
