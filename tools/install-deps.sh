#!/bin/sh
# Installs, from Debian's archive, what building and testing the library
# needs. Does nothing when everything is there already. Run as root.
set -eu
packages="cmake ninja-build g++ make pkg-config libstb-dev libgtest-dev googletest \
g++-mingw-w64-x86-64-posix wine wine64 binutils-mingw-w64-x86-64 $*"
missing=""
for p in $packages; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "missing packages:$missing (run this as root, or install them with apt-get)" >&2
  exit 1
fi
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $missing
