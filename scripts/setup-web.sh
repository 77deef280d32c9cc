#!/usr/bin/env bash
# Installs the Debian packages the converter page needs when they are missing: Emscripten (the
# page's WebAssembly build, `make web`), Chromium with its WebDriver and Selenium (the page's tests
# in a real browser, part of `make test`).
set -euo pipefail
needed=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# node-acorn: Emscripten's JavaScript optimiser reads it (from /usr/share/nodejs, NODE_PATH in the
# web preset), also where the node on PATH is not Debian's.
for pkg in emscripten node-acorn chromium chromium-driver python3-selenium; do
  have "$pkg" || needed+=("$pkg")
done
if [ ${#needed[@]} -gt 0 ]; then
  echo "setup: installing ${needed[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${needed[@]}" >/dev/null
fi
