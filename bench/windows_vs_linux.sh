#!/usr/bin/env bash
# The batch path of the Windows build, run under Wine, against the Linux build's on the same
# points in the same session: ns per point of each kernel path and conversion, and the
# Windows/Linux ratio (target: the Windows AVX2 path within 20% of the Linux one).
# Usage: bench/windows_vs_linux.sh [linux batch_rate] [windows batch_rate.exe] [wine prefix]
#   (defaults: build/release/bench/batch_rate, build/windows/bin/batch_rate.exe,
#    build/windows/wineprefix). The two programs run by turns, RUNS times each (default 3); the
# fastest figure of each line counts.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
linux=${1:-build/release/bench/batch_rate}
windows=${2:-build/windows/bin/batch_rate.exe}
prefix=$(realpath -m "${3:-build/windows/wineprefix}")  # Wine wants it absolute
runs=${RUNS:-3}
target=1.20
for program in "$linux" "$windows"; do
  [ -f "$program" ] || { echo "bench: no $program (make bench-windows builds both)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for _ in $(seq "$runs"); do
  "$linux" >> "$work/linux.txt"
  "$here/../scripts/wine-run.sh" "$prefix" "$windows" | tr -d '\r' >> "$work/windows.txt"
done
grep -m1 '^#' "$work/linux.txt" | sed 's/^# /Linux:   /'
grep -m1 '^#' "$work/windows.txt" | sed 's/^# /Windows: /'

# Lines "path conversion ns": the fastest of each side, then the table and the worst ratio on
# the AVX2 path.
awk -v target="$target" '
  FNR == 1 { side = (FILENAME ~ /linux/) ? "linux" : "windows" }
  /^#/ || $3 == "unavailable" { next }
  {
    key = $1 " " $2
    if (!(key in order)) { order[key] = ++count; keys[count] = key }
    if (!((side, key) in best) || $3 < best[side, key]) best[side, key] = $3
  }
  END {
    printf "\n%-8s %-14s %10s %10s %14s\n", "path", "conversion", "Linux", "Windows", "Windows/Linux"
    worst = 0
    for (i = 1; i <= count; ++i) {
      key = keys[i]
      if (!(("linux", key) in best) || !(("windows", key) in best)) continue
      ratio = best["windows", key] / best["linux", key]
      split(key, part, " ")
      printf "%-8s %-14s %10.2f %10.2f %14.2f\n", part[1], part[2], best["linux", key],
             best["windows", key], ratio
      if (part[1] == "avx2" && ratio > worst) worst = ratio
    }
    if (worst == 0) { print "\nno AVX2 figures on both sides: no ratio"; exit 1 }
    printf "\nWindows/Linux on the AVX2 path: at most %.2f (target %.2f): %s\n", worst, target,
           worst <= target ? "met" : "NOT met"
  }' "$work/linux.txt" "$work/windows.txt"
