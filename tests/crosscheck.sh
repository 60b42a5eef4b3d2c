#!/bin/sh
# Runs two builds of one host program, each writing into an empty folder
# given as its one argument, and fails unless both succeed and write the
# same files, byte for byte. A host whose name ends in .exe is a Windows
# build and runs under wine. Used for the thumbnail host and the kernel's
# sine (Linux against Windows), and for the scalar build against the SSE2
# one.
# usage: crosscheck.sh HOST_A HOST_B WORK_DIR
set -eu
host_a=$1 host_b=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work/a" "$work/b"

run_host() { # host, folder name inside $work
  case $1 in
    # Relative folder: wine maps the working directory, not Unix absolute paths.
    *.exe) (cd "$work" && "$here/wine-run.sh" "$1" "$2") ;;
    *) "$1" "$work/$2" ;;
  esac
}

run_host "$host_a" a
run_host "$host_b" b
# Every file below each folder (the batch writes into subfolders).
(cd "$work/a" && find . -type f | LC_ALL=C sort) > "$work/a.list"
(cd "$work/b" && find . -type f | LC_ALL=C sort) > "$work/b.list"
if ! cmp -s "$work/a.list" "$work/b.list"; then
  echo "the two builds wrote different files:"
  diff "$work/a.list" "$work/b.list" || true
  exit 1
fi
n=0 bad=0
while read -r f; do
  n=$((n + 1))
  if ! cmp -s "$work/a/$f" "$work/b/$f"; then
    echo "differs: $f"
    bad=$((bad + 1))
  fi
done < "$work/a.list"
echo "compared $n files: $bad differ"
[ "$bad" -eq 0 ]
