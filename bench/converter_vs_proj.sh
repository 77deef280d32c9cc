#!/usr/bin/env bash
# The nuvex converter against PROJ's command-line tools on the same file, side by side in one
# run: one million WGS84 longitude/latitude points to UTM zone 32 (cs2cs and cct, when proj-bin
# is installed), and the cost of CSV with chosen columns (an id, a quoted name with a comma, the
# coordinates in columns 3 and 4) against the plain two-column file.
# Usage: bench/converter_vs_proj.sh [path/to/nuvex] [points]   (default build/release/tools/nuvex)
# Prints the best of RUNS runs (default 3) of each, in seconds, and the ratios.
set -euo pipefail
nuvex=${1:-build/release/tools/nuvex}
points=${2:-1000000}
runs=${RUNS:-3}
[ -x "$nuvex" ] || { echo "bench: no converter at $nuvex (build the release preset)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Points over Germany (6..12 E, 47..55 N), six decimals, the same every run.
awk -v n="$points" 'BEGIN { srand(1); for (i = 0; i < n; ++i)
  printf "%.6f %.6f\n", 6 + 6 * rand(), 47 + 8 * rand() }' > "$work/plain.txt"
awk '{ printf "%d,\"Point %d, north\",%s,%s,12.5\n", NR, NR, $1, $2 }' "$work/plain.txt" > "$work/table.csv"

# Best wall-clock seconds of `runs` runs of a command (output to /dev/null), and the processor
# seconds (user + system) of that run: on a busy machine the latter is the steadier figure.
best() {
  local best="" cpu="" start end took times
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    times=$( { TIMEFORMAT='%U %S'; time "$@" > /dev/null; } 2>&1 | tail -1)
    end=$(date +%s%N)
    took=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
    if [ -z "$best" ] || awk -v t="$took" -v b="$best" 'BEGIN { exit !(t < b) }'; then
      best=$took
      cpu=$(echo "$times" | awk '{ printf "%.3f", $1 + $2 }')
    fi
  done
  echo "$best $cpu"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }
show() { printf '%-46s %6s s wall %6s s cpu' "$1" "$2" "$3"; }

echo "converter benchmark: $points points, best of $runs runs, $(nproc) cores"
read -r ours oursCpu < <(best "$nuvex" from-ll -s 3 --zone 32 -q "$work/plain.txt")
show "nuvex from-ll -s 3 --zone 32 (all cores)" "$ours" "$oursCpu"; echo
read -r single singleCpu < <(best "$nuvex" from-ll -s 3 --zone 32 --threads 1 "$work/plain.txt")
show "nuvex, one thread" "$single" "$singleCpu"; echo
compare() {  # name, command...
  local name=$1 theirs theirsCpu
  shift
  read -r theirs theirsCpu < <(best "$@")
  show "$name" "$theirs" "$theirsCpu"
  echo "   nuvex $(ratio "$theirs" "$ours")x faster (wall, all cores); one thread" \
    "$(ratio "$theirsCpu" "$singleCpu")x less cpu"
}
if command -v cs2cs > /dev/null; then
  compare "cs2cs +proj=utm +zone=32" cs2cs -f %.3f +proj=longlat +datum=WGS84 +to +proj=utm \
    +zone=32 +datum=WGS84 "$work/plain.txt"
else
  echo "cs2cs: not installed (proj-bin)"
fi
if command -v cct > /dev/null; then
  compare "cct +proj=utm +zone=32" cct -d 3 -z 0 -t 0 +proj=utm +zone=32 +ellps=WGS84 \
    "$work/plain.txt"
else
  echo "cct: not installed (proj-bin)"
fi
read -r table tableCpu < <(best "$nuvex" from-ll -s 3 --zone 32 --threads 1 --columns 3,4 \
  "$work/table.csv")
show "nuvex --columns 3,4, quoted CSV, one thread" "$table" "$tableCpu"
echo "   $(ratio "$tableCpu" "$singleCpu")x the cpu of the plain two-column file (target <= 1.2)"
