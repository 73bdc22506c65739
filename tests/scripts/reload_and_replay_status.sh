#!/usr/bin/env bash
# The main job's exit status: 0 when every step worked (the stand-in service
# is already gone when the job's exit trap runs), 1 when a step failed.
# Usage: reload_and_replay_status.sh BUILD_DIR CORE_SERVICE
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
build=$1
core_service=$2
job="$root/scripts/reload-and-replay.sh"
work=$(mktemp -d)
blocker=
cleanup() {
  [ -z "$blocker" ] || { kill -INT "$blocker" 2>/dev/null; wait "$blocker" 2>/dev/null; }
  rm -rf "$work"
}
trap cleanup EXIT

failed=0
# expect NAME STATUS GREP_PATTERN [ARGS...]
expect() {
  local name=$1 want=$2 pattern=$3
  shift 3
  "$job" "$build" "$@" >"$work/out" 2>&1
  local status=$?
  if [ "$status" -eq "$want" ] && grep -q -- "$pattern" "$work/out"; then
    echo "ok: $name (status $status)"
  else
    echo "FAIL: $name: status $status, want $want, with a line matching '$pattern'"
    sed 's/^/  /' "$work/out"
    failed=$((failed + 1))
  fi
}

expect "every step works" 0 ' 0 failed$'
grep -q '^Reloading core: OK$' "$work/out" || { echo "FAIL: no 'Reloading core: OK'"; failed=$((failed + 1)); }

expect "the replay finds a mismatch" 1 ' 1 failed$' "$root/tests/evrules/evhost/wrong-expectation.json"

# Another service holds the core pipe: the job's own stand-in cannot start.
"$core_service" >"$work/blocker" 2>&1 &
blocker=$!
until grep -q '^serving' "$work/blocker"; do sleep 0.05; done
expect "the stand-in cannot start" 1 'did not start'

exit $((failed > 0))
