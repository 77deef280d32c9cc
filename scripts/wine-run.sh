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
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
mkdir -p "$prefix"

# A server left to itself exits three seconds after its last program; a program starting in that
# moment loses its connection ("wine client error ... Connection reset by peer"). One that stays a
# minute outlives every gap between tests. When a server already runs, this start just fails.
server_started=false
start_server() {
  server_started=false
  if [ -n "$wineserver" ] && "$wineserver" -p60 >/dev/null 2>&1; then server_started=true; fi
}
# The prefix's own processes (services, devices) live as long as the server and keep the standard
# streams they were started with: they get none of a test's, whose reader would wait on them.
boot_prefix() { "$wine" wineboot >/dev/null 2>&1 </dev/null || true; }

start_server
if [ ! -f "$prefix/.ready" ]; then
  # First use: create the prefix once, also when several tests start together.
  flock "$prefix/.lock" bash -c \
    '[ -f "$WINEPREFIX/.ready" ] || { "$1" wineboot --init >/dev/null 2>&1 </dev/null && touch "$WINEPREFIX/.ready"; }' \
    _ "$wine" || { echo "wine-run: cannot create the Wine prefix $prefix with $wine" >&2; exit 1; }
elif $server_started; then
  boot_prefix
fi

# A program whose server connection was dropped was stopped by Wine, not by its own doing: run it
# once more. Any other failure is the program's own and stands. Standard error goes through a
# file, which nothing can hold open against its reader, and is passed on after the program.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
for attempt in 1 2; do
  status=0
  "$wine" "$@" 2>"$errors" || status=$?
  cat "$errors" >&2
  grep -q '^wine client error' "$errors" || exit "$status"
  echo "wine-run: the Wine server dropped $1 (attempt $attempt)" >&2
  start_server
  if $server_started; then boot_prefix; fi
done
exit "$status"
