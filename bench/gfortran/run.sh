#!/bin/sh
# Builds and runs the gfortran counterpart of BM_WriteReportLine; run by hand, not by CI.
# Usage: bench/gfortran/run.sh [records]   (default 2000000)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
${FC:-gfortran} -O2 -o "$work/report_line" "$here/report_line.f90"
${FC:-gfortran} --version | head -n 1
cd "$work" && ./report_line "$@"
