#!/bin/sh
# Configures and builds a parent project that takes the library's source,
# three ways, and checks each:
#   subdir-debug-fastmath  add_subdirectory; CMAKE_BUILD_TYPE=Debug and
#                          -ffast-math -Ofast in the parent's C and C++ flags
#   fetch-shared           FetchContent from the local source, no build type
#   fetch-static           FetchContent, BUILD_SHARED_LIBS=OFF, the parent
#                          program carrying an stb_image of its own
# Each must build the library and the parent's program only, leave the
# parent's build type as it was, and write thumbnails byte-identical to the
# normal build's (REFERENCE_HOST, the suite's own crosscheck_host, and
# REFERENCE_EX_HOST, its crosscheck_ex_host, for the options library). Its
# sources may include <imgthumbnail.h>, and no header of the library's src/.
# usage: check_subproject.sh SOURCE_DIR WORK_DIR REFERENCE_HOST C_COMPILER CXX_COMPILER REFERENCE_EX_HOST
set -eu
source_dir=$1 work=$2 reference_host=$3 cc=$4 cxx=$5 reference_ex_host=$6
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
work=$(cd "$work" && pwd)
rm -rf "$work/reference"
mkdir "$work/reference"
"$reference_host" "$work/reference" >/dev/null
rm -rf "$work/reference-ex"
mkdir "$work/reference-ex"
"$reference_ex_host" "$work/reference-ex" >/dev/null

failed=0
fail() {
  echo "$variant: $*"
  failed=1
}

check_variant() { # variant, build type ("" for none), cmake options...
  variant=$1 build_type=$2
  shift 2
  dir=$work/$variant
  rm -rf "$dir"
  echo "== $variant"
  if ! cmake -S "$here" -B "$dir" -G Ninja -DIMGTHUMB_SOURCE="$source_dir" -DCMAKE_C_COMPILER="$cc" \
       -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE="$build_type" "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"
    fail "configure failed"
    return
  fi
  if ! cmake --build "$dir" -j2 >"$dir.build.log" 2>&1; then
    cat "$dir.build.log"
    fail "build failed"
    return
  fi
  kept=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$dir/CMakeCache.txt")
  [ "$kept" = "$build_type" ] || fail "the parent's CMAKE_BUILD_TYPE became '$kept'"
  # Nothing but the library and the parent's program was built.
  extra=$(find "$dir" -type f \( -name 'imgthumb_*' -o -name 'thumbnail_example' -o -name 'make_seeds' \
            -o -name 'libimgthumb_internal.a' -o -name 'imgthumb' \) | sed "s|$dir/||")
  [ -z "$extra" ] || fail "built more than the library: $extra"
  grep -q 'IMGTHUMB_TESTS:BOOL=OFF' "$dir/CMakeCache.txt" || fail "the tests are not off"
  # The public face only: one compile each.
  cmake --build "$dir" --target reach_public >"$dir.reach.log" 2>&1 ||
    { cat "$dir.reach.log"; fail "<imgthumbnail.h> cannot be included"; }
  for reach in "pixels pixels/image.h" "image image.h"; do
    target=reach_${reach%% *} internal=${reach#* }
    if cmake --build "$dir" --target "$target" >"$dir.reach.log" 2>&1; then
      fail "\"$internal\" can be included"
    elif ! grep -qE "$internal(: No such file|' file not found)" "$dir.reach.log"; then
      cat "$dir.reach.log"
      fail "\"$internal\" failed to compile for another reason"
    fi
  done
  rm -rf "$dir/thumbs"
  mkdir "$dir/thumbs"
  "$dir/host" "$dir/thumbs" >/dev/null || { fail "the host failed"; return; }
  if ! diff -r "$work/reference" "$dir/thumbs" >"$dir.diff"; then
    fail "thumbnails differ from the normal build's:"
    cat "$dir.diff"
  fi
  rm -rf "$dir/thumbs-ex"
  mkdir "$dir/thumbs-ex"
  "$dir/ex_host" "$dir/thumbs-ex" >/dev/null || { fail "the options host failed"; return; }
  if ! diff -r "$work/reference-ex" "$dir/thumbs-ex" >"$dir-ex.diff"; then
    fail "the options library's thumbnails differ from the normal build's:"
    head -n 20 "$dir-ex.diff"
  fi
}

check_variant subdir-debug-fastmath Debug -DHOW=add_subdirectory \
  "-DCMAKE_C_FLAGS=-ffast-math -Ofast" "-DCMAKE_CXX_FLAGS=-ffast-math -Ofast"
check_variant fetch-shared "" -DHOW=FetchContent
check_variant fetch-static Release -DHOW=FetchContent -DBUILD_SHARED_LIBS=OFF
if [ -x "$work/fetch-static/host" ]; then
  variant=fetch-static
  ! ldd "$work/fetch-static/host" | grep -q quintaro || fail "the static host loads a shared library"
  ! ldd "$work/fetch-static/ex_host" | grep -q quintaro || fail "the static options host loads a shared library"
  [ -f "$(find "$work/fetch-static" -name libquintaro-imgthumbnail.a | head -n 1)" ] || fail "no static library"
  # Only the seven functions are global in the static library.
  globals=$(nm -g --defined-only "$(find "$work/fetch-static" -name libquintaro-imgthumbnail.a | head -n 1)" |
            awk 'NF == 3 { print $3 }' | sort | tr '\n' ' ')
  [ "$globals" = "imgthumbnail_aspect imgthumbnail_batch imgthumbnail_cleanup imgthumbnail_init \
imgthumbnail_last_error imgthumbnail_smart imgthumbnail_square " ] || fail "global symbols: $globals"
  # And the options library's three in its own.
  ex=$(find "$work/fetch-static" -name libquintaro-imgthumbnail-ex.a | head -n 1)
  [ -f "$ex" ] || fail "no static options library"
  globals=$(nm -g --defined-only "$ex" | awk 'NF == 3 { print $3 }' | sort | tr '\n' ' ')
  [ "$globals" = "imgthumbnail_ex_defaults imgthumbnail_ex_last_error imgthumbnail_ex_thumbnail " ] ||
    fail "global symbols of the options library: $globals"
fi
[ "$failed" -eq 0 ] && echo "all three parent projects build the library alone and write the same thumbnails"
exit "$failed"
