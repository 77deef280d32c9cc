#!/usr/bin/env bash
# Regenerates tests/data/bit_intrinsics.txt from gfortran. Run by hand, not by CI:
#   tests/generators/gfortran_bits/generate.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out="$here/../../data/bit_intrinsics.txt"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gfortran -std=f2008 -Wall -o "$work/bit_cases" "$here/bit_cases.f90"
{
  echo "# Bit intrinsics on INTEGER(2) (width 16) and INTEGER(4) (width 32), one case per line."
  echo "# Provenance: written by tests/generators/gfortran_bits/bit_cases.f90 with"
  echo "# $(gfortran --version | head -n 1); the results are gfortran's IBITS, ISHFTC, MVBITS,"
  echo "# IBSET, IBCLR and BTEST. Columns are described in the generator's header."
  "$work/bit_cases"
} >"$out"
echo "wrote $(grep -vc '^#' "$out") cases to $out"
