#!/bin/sh
# Installs, from Debian's archive, the packages of the lists named as
# arguments (tools/packages.d/NAME.txt), or of every list when none is
# named. A list has one package a line; # starts a comment. With the tests'
# list, also fetches ISA-L's source for the Windows build
# (tools/isal-source.sh). Does nothing when everything is there already.
# Run as root.
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
if [ -n "$missing" ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "missing packages:$missing (run this as root, or install them with apt-get)" >&2
    exit 1
  fi
  echo "installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # shellcheck disable=SC2086
  apt-get install -y -q $missing
fi
# The Windows build (with the tests) builds ISA-L from Debian's source.
case " $lists " in
  *"/tests.txt "*) sh "$here/isal-source.sh" >/dev/null ;;
esac
