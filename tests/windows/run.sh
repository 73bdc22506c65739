#!/usr/bin/env bash
# The Windows tests, in one command: installs what is missing, cross-builds
# the Windows binaries (preset `windows`, in build/windows) and runs their
# tests under Wine with CTest.
#
# Each run gets a throwaway Wine prefix, made here and removed at the end;
# one Wine server is kept alive for the whole run, so that each test does not
# pay Wine's start-up.
# Extra arguments go to ctest (for example -R corectl).
set -euo pipefail
cd "$(dirname "$0")/../.."

scripts/install-windows-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows

run_dir=$(mktemp -d "${TMPDIR:-/tmp}/tevrin-wine.XXXXXX")
export WINEPREFIX=$run_dir/prefix
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko install prompts, and no window: the programs are console ones.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
  wineserver -k 2>/dev/null || true
  # Programs of this prefix that outlive their server (seen under qemu) are
  # ended by process id; nothing else is touched.
  local pid
  for pid in $(grep -lzx "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3); do
    [ "$pid" != $$ ] && kill -KILL "$pid" 2>/dev/null || true
  done
  rm -rf "$run_dir"
}
trap cleanup EXIT

echo "Creating the Wine prefix $WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot -i
# The prefix's own services start with the first programs; their start-up
# noise must not land in a test's standard error.
for _ in 1 2 3; do
  [ -z "$(wine cmd /c exit 2>&1)" ] && break
done

start=$SECONDS
ctest --preset windows "$@"
echo "Windows tests under Wine took $((SECONDS - start)) s"
