#!/usr/bin/env bash
# `cmake --install` of the Linux build into a temporary prefix: the files a
# host needs are there, CoreCtl, CoreCall and evreplay run from it (evreplay
# with the installed module), and a C host project finds the
# module with find_package(evrules), builds and runs against it.
# Usage: install_test.sh BUILD_DIR [SANITIZERS]
set -euo pipefail
build=$1
sanitize=${2:-}
here="$(cd "$(dirname "$0")" && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
# (The library folder is lib or lib/<triplet>; the targets file per build
# type is named after it.)
(cd "$prefix" && find . -type f -o -type l | sed -e 's|^\./||' -e 's|evrulesTargets-[a-z]*\.cmake$|evrulesTargets-<type>.cmake|' |
  LC_ALL=C sort) >"$work/installed"
libdir=$(sed -n 's|^\(.*\)/libevrules\.so$|\1|p' "$work/installed")
printf '%s\n' bin/CoreCall bin/CoreCtl bin/evreplay include/evrules.h "$libdir/cmake/evrules/evrulesConfig.cmake" \
  "$libdir/cmake/evrules/evrulesConfigVersion.cmake" "$libdir/cmake/evrules/evrulesTargets.cmake" \
  "$libdir/cmake/evrules/evrulesTargets-<type>.cmake" "$libdir/libevrules.so" | LC_ALL=C sort >"$work/want"
if [ -z "$libdir" ] || ! diff "$work/want" "$work/installed"; then
  echo "FAIL: the prefix holds other files:"
  sed 's/^/  /' "$work/installed"
  exit 1
fi
echo "ok: installed $(tr '\n' ' ' <"$work/installed")"

"$prefix/bin/CoreCtl" --help >"$work/help"
grep -q -- '--reload-core' "$work/help"
echo "ok: CoreCtl --help from the prefix"
"$prefix/bin/CoreCall" describe --template --compact AddSkipItem >"$work/template"
grep -qxF '{"filename_path":"","isrecursive":false,"isfolder":false}' "$work/template"
echo "ok: CoreCall from the prefix"
"$prefix/bin/evreplay" --sandbox "$work" --fail-on-report "$here/../../docs/samples/intrusion.jsonl" >"$work/reports" 2>"$work/summary" &&
  { echo "FAIL: evreplay found nothing in the sample"; exit 1; }
grep -qxF "  module: $prefix/$libdir/libevrules.so" "$work/summary" || { echo "FAIL: $(cat "$work/summary")"; exit 1; }
[ -s "$work/reports" ]
echo "ok: evreplay from the prefix, with the installed module"

# An instrumented module needs an instrumented host.
flags=()
if [ -n "$sanitize" ]; then
  flags=(-DCMAKE_C_FLAGS="-fsanitize=$sanitize" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=$sanitize")
fi
cmake -S "$here/host" -B "$work/host" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" "${flags[@]}" >"$work/configure.log" ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$work/host" >"$work/build.log" || { cat "$work/build.log"; exit 1; }
echo "ok: a C host built with find_package(evrules)"
"$work/host/evrules_host"
