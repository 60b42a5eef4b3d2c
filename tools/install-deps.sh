#!/bin/sh
# Installs, from Debian's archive, the packages of the lists named as
# arguments (tools/packages.d/NAME.txt), or of every list when none is
# named. A list has one package a line; # starts a comment. Does nothing when
# everything is there already. Run as root.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
lists=""
for name in "$@"; do
  lists="$lists $here/packages.d/$name.txt"
done
[ -n "$lists" ] || lists=$(ls "$here"/packages.d/*.txt)
# shellcheck disable=SC2086
packages=$(cat $lists | sed 's/#.*//' | tr -s ' \t' '\n\n' | grep -v '^$' | sort -u)
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
apt-get install -y -q $missing
