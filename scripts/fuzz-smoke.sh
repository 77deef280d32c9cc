#!/usr/bin/env bash
# Runs every fuzz target for a short time from its seed corpus (fuzz/seeds/<target>/).
# Usage: fuzz-smoke.sh <directory of fuzz binaries> <seconds per target>
set -euo pipefail
dir=$(cd "$1" && pwd); seconds=${2:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0; passed=0; failed=0
for target in "$dir"/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  work=$(mktemp -d)
  seeds="$root/fuzz/seeds/$name"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "fuzz-smoke: $name for ${seconds}s"
  if ! (cd "$work" && "$target" -max_total_time="$seconds" -max_len=4096 "$work" >"$work/log" 2>&1); then
    tail -n 40 "$work/log"; status=1; failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
  rm -rf "$work"
done
echo "fuzz-smoke: $passed passed, $failed failed"
exit $status
