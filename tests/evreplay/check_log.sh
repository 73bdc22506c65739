#!/usr/bin/env bash
# Replays a log with evreplay and compares standard output with NAME.out and
# the summary (without its clock-dependent speed line) with NAME.summary.
#   check_log.sh EVREPLAY MODULE LOGS_DIR NAME LOG [OPTION...]
# With EVREPLAY_UPDATE=1 the expected files are written instead.
set -euo pipefail
evreplay=$1 module=$2 logs=$3 name=$4 log=$5
shift 5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$logs"
status=0
"$evreplay" --module "$module" --sandbox "$work" "$@" "$log" >"$work/out" 2>"$work/err" || status=$?
grep -v -e '^  speed: ' -e '^  module: ' "$work/err" >"$work/summary" || true
if [ "${EVREPLAY_UPDATE:-}" = 1 ]; then
  cp "$work/out" "expected/$name.out"
  cp "$work/summary" "expected/$name.summary"
fi
if [ "$status" -ne 0 ]; then
  echo "evreplay exited with $status"
  cat "$work/err"
  exit 1
fi
diff -u "expected/$name.out" "$work/out"
diff -u "expected/$name.summary" "$work/summary"
# Nothing of the machine is left behind.
if [ -n "$(ls -A "$work" | grep -v -e '^out$' -e '^err$' -e '^summary$')" ]; then
  echo "the sandbox folder was not removed: $(ls "$work")"
  exit 1
fi
