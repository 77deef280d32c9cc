#!/usr/bin/env bash
# Makes tests/data/exact_projection.txt: the exact transverse Mercator (GeographicLib's
# TransverseMercatorProj -t, Debian's geographiclib-tools) on the ellipsoids of the systems, at
# 48, 54 and 60 deg N (and on the equator out to the projection's limit), at the offsets from the
# central meridian where the engine's band ends and beyond.
set -euo pipefail
out=${1:-tests/data/exact_projection.txt}
{
  echo "# The exact transverse Mercator, one case per line:"
  echo "#   ellipsoid|a|1/f|k0|latitude (deg)|longitude from the central meridian (deg)|x|y"
  echo "# x: easting from the central meridian, y: northing (m, scaled by k0). Made by"
  echo "# tests/generators/exact_projection/make_cases.sh with:"
  echo "#   echo 'LAT LON' | TransverseMercatorProj -t -e A F -k K0 -p 6"
  while read -r name a invf k0; do
    for lat in 48 54 60; do
      for lon in 0 3 4.5 6 9.2 15 30 45; do
        xy=$(echo "$lat $lon" | TransverseMercatorProj -t -e "$a" "1/$invf" -k "$k0" -p 6 | awk '{print $1"|"$2}')
        echo "$name|$a|$invf|$k0|$lat|$lon|$xy"
      done
    done
    # On the equator the limit of 9000 km of unscaled easting lies near 62.6 deg.
    for lon in 30 50 62; do
      xy=$(echo "0 $lon" | TransverseMercatorProj -t -e "$a" "1/$invf" -k "$k0" -p 6 | awk '{print $1"|"$2}')
      echo "$name|$a|$invf|$k0|0|$lon|$xy"
    done
  done <<'ELLIPSOIDS'
bessel1841 6377397.155 299.1528128 1
international1924 6378388 297 0.9996
wgs84 6378137 298.257223563 0.9996
krassowsky1940 6378245 298.3 1
grs80 6378137 298.257222101 0.9996
ELLIPSOIDS
} > "$out"
