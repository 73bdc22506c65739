#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in the prefix that
# tests/windows/run.sh made for this test run (never the user's ~/.wine).
set -euo pipefail
if [ -z "${WINEPREFIX:-}" ] || [ ! -d "$WINEPREFIX/drive_c" ]; then
  echo "wine.sh: no Wine prefix for this run; start the Windows tests with tests/windows/run.sh" >&2
  exit 125
fi
export WINEDEBUG=${WINEDEBUG:--all}
exec "$(dirname "$0")/wine-exec.sh" wine "$@"
