#!/usr/bin/env bash
# Installs what the Windows cross build needs when it is missing: the MinGW-w64 compilers of the
# posix thread model (with binutils' objdump for the checks of the binaries), Wine to run the
# tests, clang and llvm-nm for the check of the exported names, GoogleTest's sources (built for
# the target by the build itself) and Google Highway's headers (the vector sine and cosine of the
# engine's AVX2 path there).
set -euo pipefail
needed=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for pkg in g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 clang llvm googletest \
  libhwy-dev; do
  have "$pkg" || needed+=("$pkg")
done
if [ ${#needed[@]} -gt 0 ]; then
  echo "setup-windows: installing ${needed[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    "${needed[@]}" >/dev/null
fi
