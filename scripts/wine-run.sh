#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix, without a display: the test runner of
# the cross build. Usage: wine-run.sh <prefix directory> <program.exe> [arguments...]
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64  # Debian's wine64 package; elsewhere the wine on the PATH
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
if [ ! -f "$prefix/.ready" ]; then
  # First use: create the prefix once, also when several tests start together.
  mkdir -p "$prefix"
  flock "$prefix/.lock" bash -c \
    '[ -f "$WINEPREFIX/.ready" ] || { "$1" wineboot --init >/dev/null 2>&1 && touch "$WINEPREFIX/.ready"; }' \
    _ "$wine" || { echo "wine-run: cannot create the Wine prefix $prefix with $wine" >&2; exit 1; }
fi
exec "$wine" "$@"
