#!/bin/sh
# Runs a host program of the Linux build and of the Windows build (under
# wine), each writing into an empty folder given as its one argument, and
# fails unless both succeed and write the same files, byte for byte. Used
# for the thumbnail host and for the kernel's sine.
# usage: crosscheck.sh LINUX_HOST WINDOWS_HOST_EXE WORK_DIR
set -eu
linux_host=$1 windows_host=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work/linux" "$work/windows"
"$linux_host" "$work/linux"
# Relative folder: wine maps the working directory, not Unix absolute paths.
(cd "$work" && "$here/wine-run.sh" "$windows_host" windows)
# Every file below each folder (the batch writes into subfolders).
(cd "$work/linux" && find . -type f | LC_ALL=C sort) > "$work/linux.list"
(cd "$work/windows" && find . -type f | LC_ALL=C sort) > "$work/windows.list"
if ! cmp -s "$work/linux.list" "$work/windows.list"; then
  echo "the two builds wrote different files:"
  diff "$work/linux.list" "$work/windows.list" || true
  exit 1
fi
n=0 bad=0
while read -r f; do
  n=$((n + 1))
  if ! cmp -s "$work/linux/$f" "$work/windows/$f"; then
    echo "differs: $f"
    bad=$((bad + 1))
  fi
done < "$work/linux.list"
echo "compared $n files: $bad differ"
[ "$bad" -eq 0 ]
