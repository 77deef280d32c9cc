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
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
mkdir -p "$prefix"

# A server left to itself exits three seconds after its last program; a program starting in that
# moment loses its connection ("wine client error ... Connection reset by peer"). One that stays a
# minute outlives every gap between tests. When a server already runs this start just fails.
keep_server() { "$wineserver" -p60 >/dev/null 2>&1 || true; }

keep_server
if [ ! -f "$prefix/.ready" ]; then
  # First use: create the prefix once, also when several tests start together.
  flock "$prefix/.lock" bash -c \
    '[ -f "$WINEPREFIX/.ready" ] || { "$1" wineboot --init >/dev/null 2>&1 && touch "$WINEPREFIX/.ready"; }' \
    _ "$wine" || { echo "wine-run: cannot create the Wine prefix $prefix with $wine" >&2; exit 1; }
fi

# A program whose server connection was dropped was stopped by Wine, not by its own doing: run it
# once more. Any other failure is the program's own and stands.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
for attempt in 1 2; do
  # Standard output goes straight on; standard error also into a copy to look at.
  set +e
  { "$wine" "$@" 2>&1 1>&3 3>&- | tee "$errors" >&2; } 3>&1
  status=${PIPESTATUS[0]}
  set -e
  grep -q '^wine client error' "$errors" || exit "$status"
  echo "wine-run: the Wine server dropped $1 (attempt $attempt)" >&2
  keep_server
done
exit "$status"
