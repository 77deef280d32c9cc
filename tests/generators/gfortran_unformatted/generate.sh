#!/usr/bin/env bash
# Regenerates tests/data/unformatted/records.bin from gfortran. Run by hand, not by CI:
#   tests/generators/gfortran_unformatted/generate.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out="$here/../../data/unformatted"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gfortran -std=f2008 -Wall -o "$work/records" "$here/records.f90"
(cd "$work" && ./records)
mkdir -p "$out"
cp "$work/records.bin" "$out/records.bin"
echo "wrote $out/records.bin ($(stat -c %s "$out/records.bin") bytes)"
