#!/bin/sh
# Regenerates tests/data/gfortran_output_cases.txt from the Fortran compiler on this machine.
# Run by hand after changing output_cases.f90; the test suite only reads the checked-in file.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
data="$here/../../data/gfortran_output_cases.txt"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

${FC:-gfortran} -O0 -o "$work/output_cases" "$here/output_cases.f90"
version=$(${FC:-gfortran} --version | head -n 1)
{
  echo "# Output editing cases produced by tests/generators/gfortran_output/generate.sh with"
  echo "# $version."
  echo "# Each line: descriptor, scale factor P, SP flag, value, and the field in double quotes."
  echo "# Only cases where the runtime's editing and standard Fortran output agree are listed;"
  echo "# hexadecimal (Z) fields are lower-cased because the runtime writes lower-case digits."
  "$work/output_cases"
} > "$data"
echo "wrote $(grep -vc '^#' "$data") cases to $data"
