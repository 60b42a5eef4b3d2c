#!/bin/sh
# Builds the library three ways and runs the whole test suite on each:
#   build/linux    the Linux build (and the Linux = Windows thumbnail check)
#   build/scalar   the thumbnail hosts with the scalar kernels alone, compared
#                  with the Linux build's (SSE2) thumbnails
#   build/asan-clang  the Linux build under clang's AddressSanitizer + UBSan
#   build/tsan     the thread test's host under ThreadSanitizer
#   build/windows  the Windows DLL, cross-built with mingw-w64, run under wine
# Installs what it needs first (as root). Exits non-zero if anything fails.
set -u
cd "$(dirname "$0")/.."
top=$(pwd)
sh tools/install-deps.sh || exit 1

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export CTEST_OUTPUT_ON_FAILURE=1

status=0
passed=0
failed=0

configure_and_build() { # dir, cmake options...
  dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir"
}

run_suite() { # name, dir
  echo "== $1 =="
  ctest --test-dir "$2" -j2 --timeout 1500 2>&1 | tee "$2.ctest.log"
  rc=$?
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$2.ctest.log" | tail -n 1)
  total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
  bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')
  if [ -z "$line" ]; then
    echo "$1: ctest ran no tests"
    status=1
    return
  fi
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  [ "$rc" -eq 0 ] && [ "$bad" -eq 0 ] || status=1
}

mkdir -p build
# The Windows build comes first: the Linux suite compares its thumbnails with it.
if configure_and_build build/windows -DCMAKE_BUILD_TYPE=RelWithDebInfo \
     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake; then
  windows_dir="$top/build/windows"
else
  echo "Windows build failed"
  status=1
  windows_dir=""
fi
# The scalar kernels alone (no SSE2): only the thumbnail hosts, which the
# Linux suite runs beside its own to compare their bytes.
scalar_dir=""
if cmake -S . -B build/scalar -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIMGTHUMB_SIMD=OFF \
     >build/scalar.configure.log 2>&1 && cmake --build build/scalar --target crosscheck_host crosscheck_ex_host; then
  scalar_dir="$top/build/scalar"
else
  cat build/scalar.configure.log
  echo "scalar build failed"
  status=1
fi
if configure_and_build build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo \
     -DIMGTHUMB_WINDOWS_BUILD_DIR="$windows_dir" -DIMGTHUMB_SCALAR_BUILD_DIR="$scalar_dir"; then
  run_suite "Linux" build/linux
  # The same test programs once more under valgrind (about two minutes):
  # any leak or memory error fails this one check.
  echo "== Linux under valgrind memcheck =="
  if sh tools/valgrind.sh build/linux; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi
else
  echo "Linux build failed"
  status=1
fi
# clang, the fuzzers' compiler, whose UBSan checks more than GCC's.
if configure_and_build build/asan-clang -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIMGTHUMB_SANITIZE=ON \
     -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++; then
  run_suite "Linux, clang AddressSanitizer + UBSan" build/asan-clang
else
  echo "sanitizer build failed"
  status=1
fi
# ThreadSanitizer (GCC's): the thread test's host alone. The one message of
# the seven functions is shared by design; tests/tsan.supp says so.
echo "== Linux, ThreadSanitizer: eight threads at once =="
if cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIMGTHUMB_TSAN=ON \
     >build/tsan.configure.log 2>&1 && cmake --build build/tsan --target thread_host &&
   (cd build/tsan && rm -rf threads &&
    TSAN_OPTIONS="halt_on_error=1 exitcode=66 suppressions=$top/tests/tsan.supp" bin/thread_host threads); then
  passed=$((passed + 1))
else
  echo "the ThreadSanitizer run failed"
  failed=$((failed + 1))
  status=1
fi
[ -n "$windows_dir" ] && run_suite "Windows DLL under wine" build/windows

echo
echo "all suites: $passed passed, $failed failed"
exit $status
