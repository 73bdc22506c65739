#!/usr/bin/env bash
# The C host of tests/install/host, compiled with the package's evrules.h and
# linked once with each of its import libraries, then run under Wine beside
# the package's evrules.dll: the decorated references resolve and the DLL's
# plain export names are found.
# Usage: package-host.sh CC PACKAGE_DIR HOST_C RUNNER
set -uo pipefail
cc=$1
package=$2
host=$3
runner=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$package/evrules.dll" "$work/"
status=0
for library in libevrules.dll.a evrules.lib; do
  exe=$work/host-${library%%.*}.exe
  if ! "$cc" -std=c11 -Wall -Wextra -Wpedantic -Werror -I"$package" "$host" "$package/$library" -o "$exe" 2>"$work/cc.log"; then
    echo "FAIL: linking with $library:"
    sed 's/^/  /' "$work/cc.log"
    status=1
    continue
  fi
  if output=$("$runner" "$exe" 2>&1 | tr -d '\r'); then
    echo "ok: linked with $library: $output"
  else
    echo "FAIL: linked with $library: $output"
    status=1
  fi
done
exit $status
