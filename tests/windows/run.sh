#!/usr/bin/env bash
# The Windows tests, in one command: installs what is missing, cross-builds
# the Windows binaries (preset `windows`, in build/windows) and runs their
# tests under Wine with CTest.
#
# Each run gets a throwaway Wine prefix, made here and removed at the end;
# one Wine server is kept alive for the whole run, so that each test does not
# pay Wine's start-up. The prefix is a 64-bit one: our 32-bit programs run in
# it as on 64-bit Windows, and Wine's own services and drivers (the mount
# manager among them) are 64-bit programs, which run natively even where
# 32-bit ones need an emulator.
# Extra arguments go to ctest (for example -R corectl).
set -euo pipefail
cd "$(dirname "$0")/../.."

if [ -z "${TEVRIN_WINE_NAMESPACE:-}" ]; then
  scripts/install-windows-deps.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows
  # Where the machine has no Wine of its own, the private root's Wine runs the
  # tests (scripts/make-wine-root.sh), in a mount namespace of this run's own.
  if [ -z "${TEVRIN_WINE_ROOT:-}" ] && ! command -v wine >/dev/null; then
    TEVRIN_WINE_ROOT=$(scripts/make-wine-root.sh | tail -n 1)
  fi
  if [ -n "${TEVRIN_WINE_ROOT:-}" ]; then
    echo "Wine from the private root $TEVRIN_WINE_ROOT"
    exec env TEVRIN_WINE_ROOT="$TEVRIN_WINE_ROOT" TEVRIN_WINE_NAMESPACE=1 \
      unshare -m --propagation private "$0" "$@"
  fi
else
  # The root sees the kernel's file systems, the temporary folder and the work
  # tree at their own paths; the mounts end with this run's namespace.
  mount -t proc proc "$TEVRIN_WINE_ROOT/proc"
  for folder in /dev /sys /tmp "${TMPDIR:-/tmp}" "$PWD"; do
    mkdir -p "$TEVRIN_WINE_ROOT$folder"
    mount --rbind "$folder" "$TEVRIN_WINE_ROOT$folder"
  done
fi
wine_exec() { tests/windows/wine-exec.sh "$@"; }

run_dir=$(mktemp -d "${TMPDIR:-/tmp}/tevrin-wine.XXXXXX")
export WINEPREFIX=$run_dir/prefix
export WINEARCH=win64
# Wine's 64-bit loader, for the prefix's own 64-bit programs.
export WINE64=/usr/lib/wine/wine64
export WINEDEBUG=-all
# No Mono or Gecko install prompts, and no window: the programs are console ones.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
  wine_exec wineserver -k 2>/dev/null || true
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
wine_exec wineserver -p
wine_exec "$WINE64" wineboot -i
# The scenarios' drives, then a restart, so that the mount manager knows them.
tests/windows/make-drives.sh tests/evrules/scenarios/*.json
wine_exec wineserver -k
wine_exec wineserver -w
wine_exec wineserver -p
# The prefix's own services start with the first programs; their start-up
# noise must not land in a test's standard error. (A file, not a pipe: the
# services keep the output they inherit open.)
warmup=$run_dir/warmup.log
for _ in 1 2 3; do
  wine_exec wine cmd /c exit >"$warmup" 2>&1 || true
  [ -s "$warmup" ] || break
done

# A program that crashes ends at once instead of waiting in Wine's debugger.
for key in 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
           'HKLM\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug'; do
  wine_exec "$WINE64" reg delete "$key" /v Debugger /f >/dev/null 2>&1 || true
done

# The in-process interoperation tests run the service on a thread of the test
# process; Wine under qemu's emulator cannot run that (pipe-threads-check.cpp
# says why). windows.rpc.interoperation_across_processes runs the same tests
# with the service in another process, everywhere. The tests this may leave
# out are listed by name in known-dropped.txt: a test that the pattern would
# also catch, and the list does not name, fails the run instead of going
# quietly.
dropped_pattern='^rpc\.(InteroperationTest\.|TWin32PipeClientTest\.Deadline)'
skip=()
dropped=()
# Three passes are asked for, as a crash may take a few round trips to come.
# (The shell's own report of a crashed program goes nowhere.)
check_status=0
for _ in 1 2 3; do
  { timeout 60 tests/windows/wine.sh build/windows/tests/windows/pipe-threads-check.exe >"$run_dir/check.log" 2>&1; } 2>/dev/null ||
    { check_status=$?; break; }
done
if ((check_status)); then
  echo "This Wine cannot run two threads of one process that talk over a pipe (nor cancel pipe I/O once a" \
       "second thread has used one) (pipe-threads-check.exe ended with status $check_status)"
  sed 's/^/  /' "$run_dir/check.log"
  mapfile -t dropped < <(ctest --preset windows -N -R "$dropped_pattern" | sed -n 's/^ *Test *#[0-9]*: //p')
  unknown=$(printf '%s\n' "${dropped[@]}" | grep -vxF -f tests/windows/known-dropped.txt || true)
  if [ -n "$unknown" ]; then
    echo "run.sh: these tests would be left out, but tests/windows/known-dropped.txt does not name them:" >&2
    sed 's/^/  /' <<<"$unknown" >&2
    exit 1
  fi
  skip=(-E "$dropped_pattern")
fi

start=$SECONDS
status=0
ctest --preset windows "${skip[@]}" "$@" || status=$?
echo "Windows tests under Wine took $((SECONDS - start)) s"
if ((${#dropped[@]})); then
  echo "Left out under this Wine (two threads of one process on a pipe), ${#dropped[@]} tests:"
  printf '  %s\n' "${dropped[@]}"
else
  echo "Left out under this Wine: no test"
fi
exit "$status"
