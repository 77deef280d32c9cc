#!/usr/bin/env bash
# Installs the Debian packages the build needs when they are missing (fresh machine).
set -euo pipefail
needed=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# libtiff-dev: the reader of GeoTIFF grids (--grid FILE.tif); without it such grids are refused.
# libsleef-dev: vector sine/cosine for the engine's AVX2 path (without it the build takes Highway's
# headers where they are installed, as the Windows build does, else it is scalar only).
for pkg in cmake g++ libgtest-dev libbenchmark-dev libcli11-dev libsleef-dev libtiff-dev; do
  have "$pkg" || needed+=("$pkg")
done
# PROJ (library, tools and its data): the baseline the benchmarks in bench/ measure against, the
# EPSG definitions the EPSG reference cases are generated from (tests/generators) and the maker of
# the official datum shift's reference cases (tests/data/official_*.txt); matplotlib draws the
# accuracy map of docs/accuracy.md.
for pkg in libproj-dev proj-bin proj-data python3-matplotlib; do
  have "$pkg" || needed+=("$pkg")
done
# The Python package: Debian's interpreter (/usr/bin/python3) and its modules; pyproj for the
# speed comparison in bench/ and the tests of the GeoPandas helper; venv, setuptools, wheel and
# build for installing it with pip and making wheels (offline, no build isolation).
for pkg in python3-dev pybind11-dev python3-numpy python3-pandas python3-dask python3-distributed \
  python3-pytest python3-pyproj python3-geopandas python3-shapely python3-venv python3-setuptools \
  python3-wheel python3-build python3-pip; do
  have "$pkg" || needed+=("$pkg")
done
# mono-devel (mcs, mono): the .NET demo of the C interface (examples/dotnet), run by the tests.
have mono-devel || needed+=(mono-devel)
if [ ${#needed[@]} -gt 0 ]; then
  echo "setup: installing ${needed[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${needed[@]}" >/dev/null
fi
# The converter page: Emscripten, and Chromium for its tests.
"$(dirname "$0")/setup-web.sh"
