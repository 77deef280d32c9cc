#!/bin/sh
# Exact transverse Mercator coordinates of points 1 to 15 deg from the central meridian, from
# PROJ's cct (Debian proj-bin) with the extended transverse Mercator of Poder and Engsager, which
# stays exact to well below a millimetre thousands of kilometres from the central meridian. The
# engine's truncated series are measured against them (tests/engine/projection_test.cpp).
# Usage: tests/generators/projection_band/generate.sh > tests/data/engine_projection_band.txt
set -eu
points=$(mktemp)
trap 'rm -f "$points"' EXIT
for lat in 0 30 50 60.5 70; do
  for offset in 1 2 3 3.5 3.95 4 4.05 5 6 8 15; do
    echo "$(echo "9 + $offset" | bc) $lat 0 0"
  done
done >"$points"
# system|command (the ellipsoid and grid of the system: Bessel 1841 Gauss-Krueger zone 3 and
# WGS84 UTM zone 32, both with the central meridian 9 deg)
bessel="cct -d 5 +proj=etmerc +ellps=bessel +lon_0=9 +k_0=1 +x_0=3500000"
wgs84="cct -d 5 +proj=etmerc +ellps=WGS84 +lon_0=9 +k_0=0.9996 +x_0=500000"
cat <<HEADER
# Forward projection far from the central meridian: exact coordinates for measuring the error of
# the engine's series (forward and inverse) and choosing the band in which grid coordinates are
# accepted. Central meridian 9 deg; longitudes 1 to 15 deg east of it.
# Provenance: tests/generators/projection_band/generate.sh, i.e. for system 1
#   $bessel
# and for system 3
#   $wgs84
# on the points "longitude latitude 0 0" the script lists.
# system|latitude|longitude|easting|northing
HEADER
for system in 1 3; do
  if [ "$system" = 1 ]; then command=$bessel; else command=$wgs84; fi
  $command "$points" | paste -d' ' "$points" - |
    awk -v s="$system" '{ printf "%s|%s|%s|%s|%s\n", s, $2, $1, $5, $6 }'
done
