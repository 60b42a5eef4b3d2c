#!/bin/sh
# The imgthumb command against vipsthumbnail and ImageMagick on folders of
# photo-like PNG and JPEG images (bench/cli/README.md says what and why).
# Installs what it needs first (as root), then runs bench/cli/run.sh.
#
#   sh tools/bench-cli.sh [--generate-only]
set -eu
cd "$(dirname "$0")/.."
sh tools/install-deps.sh build bench
exec sh bench/cli/run.sh "$@"
