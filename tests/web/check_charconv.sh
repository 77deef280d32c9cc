#!/usr/bin/env bash
# The WebAssembly build's from_chars and to_chars for doubles (web/charconv_compat.h) against the
# native C++ library's, on the same 600,000 texts (tests/web/charconv_cases.cpp): the outputs must
# be equal line for line.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 "$root/tests/web/charconv_cases.cpp" -o "$work/native"
NODE_PATH=/usr/share/nodejs em++ -std=c++20 -O2 -include "$root/web/charconv_compat.h" \
  "$root/tests/web/charconv_cases.cpp" -sENVIRONMENT=node -sSINGLE_FILE=1 -o "$work/wasm.js" 2>/dev/null
"$work/native" > "$work/native.txt"
node "$work/wasm.js" > "$work/wasm.txt"
if ! cmp -s "$work/native.txt" "$work/wasm.txt"; then
  echo "charconv: the WebAssembly build reads or writes numbers otherwise than the native one:"
  diff "$work/native.txt" "$work/wasm.txt" | head -20
  exit 1
fi
echo "charconv: $(wc -l < "$work/native.txt") lines equal (from_chars, to_chars fixed and shortest)"
