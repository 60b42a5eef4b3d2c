#!/bin/sh
# Fetches Debian's source package of ISA-L (libisal), the version the Linux
# build links from libisal-dev, for the Windows DLL, which builds its
# inflate from it: a deb-src entry for the system's suite in a source list of
# its own (the system's lists stay as they are), apt-get source, the upstream
# tarball checked against its pinned SHA-256, unpacked in
# /var/cache/imgthumb-deps. Does nothing when it is there already. Run as
# root; prints the unpacked folder.
set -eu
version=2.30.0-5
upstream=2.30.0
sha256=f363f1be3d657d5676cef5253ee2233e60116e2fa9c9de86881185bf81e0e4b8
cache=/var/cache/imgthumb-deps
tree=$cache/libisal-$upstream
orig=libisal_$upstream.orig.tar.xz
if [ ! -f "$tree/Makefile.unx" ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "ISA-L's source is missing: run tools/install-deps.sh as root" >&2
    exit 1
  fi
  suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
  apt_dir=$cache/apt
  mkdir -p "$apt_dir/lists/partial"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main" \
    >"$apt_dir/sources.list"
  set -- -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null \
    -o "Dir::State::Lists=$apt_dir/lists"
  apt-get "$@" update -q >&2
  (cd "$cache" && apt-get "$@" source --download-only "libisal=$version" >&2)
  echo "$sha256  $cache/$orig" | sha256sum -c - >&2
  rm -rf "$tree"
  tar -xf "$cache/$orig" -C "$cache"
  [ -f "$tree/Makefile.unx" ] || { echo "unexpected layout in $orig" >&2; exit 1; }
fi
echo "$tree"
