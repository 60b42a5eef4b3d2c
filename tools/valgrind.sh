#!/bin/sh
# Runs the whole Linux test suite once under valgrind's memcheck: every test
# program of a Linux build (default build/linux, built first), with every
# leak and every memory error counted as a failure.
#   usage: tools/valgrind.sh [BUILD_DIR]
# Exits non-zero when valgrind reports anything or a test fails.
set -u
cd "$(dirname "$0")/.."
dir=${1:-build/linux}
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; exit 1; }
fi
cmake --build "$dir" --target imgthumb_tests imgthumb_oom_tests || exit 1

status=0
for program in imgthumb_tests imgthumb_oom_tests; do
  log="$dir/valgrind-$program.log"
  echo "== valgrind: $program (log: $log) =="
  (cd "$dir/test-work" &&
    valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect,possible \
      --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=99 --track-fds=no \
      --log-file="../valgrind-$program.log" "../bin/$program" --gtest_brief=1 >"../valgrind-$program.out" 2>&1)
  rc=$?
  tail -n 1 "$dir/valgrind-$program.out"
  # The last summary is the test program's own (forked children come first).
  grep -E "ERROR SUMMARY" "$log" | tail -n 1
  [ "$rc" -eq 0 ] || { echo "$program: valgrind or the tests failed (status $rc)"; status=1; }
done
[ "$status" -eq 0 ] && echo "valgrind: no errors, no leaks"
exit $status
