#!/bin/sh
# Runs a Windows program under wine with a quiet, private prefix, so tests of
# the Windows build need nothing set up by hand.
: "${WINEPREFIX:=${HOME:-/tmp}/.wine-imgthumbnail}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko install prompts on a machine without a display.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
