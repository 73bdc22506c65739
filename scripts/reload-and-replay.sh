#!/usr/bin/env bash
# The main job on a built tree: starts the stand-in core service, reloads the
# core with CoreCtl, stops the service, then replays a scenario through the
# rule module. Exits 0 when every step worked, 1 when one failed.
# Usage: scripts/reload-and-replay.sh [BUILD_DIR [SCENARIO.json]]   (BUILD_DIR: build/dev)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/usage.sh"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ -n "${1:-}" ] && [ ! -d "$1" ]; then
  echo "reload-and-replay: BUILD_DIR '$1' is not a folder" >&2
  script_usage | grep '^Usage:' >&2
  exit 2
fi
build="$(cd "${1:-$root/build/dev}" && pwd)"
scenario=("${@:2:1}")

log=$(mktemp)
service=
stop_service() {
  # The service may have ended already (it is stopped before the replay);
  # that is no failure of the job.
  [ -n "$service" ] || return 0
  kill -INT "$service" 2>/dev/null || true
  wait "$service" 2>/dev/null || true
  service=
}
trap 'stop_service; rm -f "$log"' EXIT

"$build/tools/core-service/core-service" --dump >"$log" 2>&1 &
service=$!
until grep -q '^serving' "$log"; do
  if ! kill -0 "$service" 2>/dev/null; then
    echo "The stand-in core service did not start:"
    cat "$log"
    exit 1
  fi
  sleep 0.05
done

echo "== CoreCtl --reload-core"
reload=0
"$build/console/CoreCtl" --reload-core || reload=$?
echo "(exit status $reload)"
echo "== what the core service received"
stop_service
cat "$log"

echo "== evrules: sample scenario"
replay=0
EVRULES_BUILD_DIR=$build "$root/scripts/evrules-demo.sh" "${scenario[@]}" || replay=$?

((reload == 0 && replay == 0)) || exit 1
