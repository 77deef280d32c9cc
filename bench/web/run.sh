#!/usr/bin/env bash
# The converter page's module against proj4js 2.22.0 in headless Chromium (make bench-web).
# proj4js is installed with npm into bench/web/node_modules: a benchmark dependency only, never
# part of the page. The site for the run is assembled in build/web-bench.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
bench="$root/bench/web"
if [ ! -f "$bench/node_modules/proj4/dist/proj4.js" ]; then
  npm install --prefix "$bench" --no-audit --no-fund --loglevel=error >/dev/null
fi
site="$root/build/web-bench"
mkdir -p "$site"
cp "$root/build/web/nuvex.js" "$root/build/web/nuvex.wasm" "$root/data/BETA2007.gsb" \
  "$bench/bench.html" "$bench/bench.js" "$bench/bench-worker.js" "$site/"
cp "$bench/node_modules/proj4/dist/proj4.js" "$site/proj4.js"
/usr/bin/python3 "$bench/run_bench.py" "$site" "${POINTS:-1000000}"
