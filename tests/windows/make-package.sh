#!/usr/bin/env bash
# Makes the release package of a Windows build tree as the release-windows
# workflow does (CPack, ZIP), into OUT_DIR, and unpacks it in OUT_DIR/unpacked
# for the package tests.
# Usage: make-package.sh CPACK BUILD_DIR OUT_DIR
set -euo pipefail
cpack=$1
build=$2
out=$3
rm -rf "$out"
mkdir -p "$out/unpacked"
"$cpack" --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
for zip in "$out"/*.zip; do
  (cd "$out/unpacked" && cmake -E tar xf "$zip")
  echo "made $(basename "$zip"), $(stat -c %s "$zip") bytes"
done
