#!/bin/sh
# Installs, from Debian's archive, every package listed in
# tools/packages.d/*.txt (one name per line, # starts a comment). Does
# nothing when everything is there already. Run as root.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
packages=$(cat "$here"/packages.d/*.txt | sed 's/#.*//' | tr -s ' \t' '\n\n' | grep -v '^$' | sort -u)
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
