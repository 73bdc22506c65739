#!/usr/bin/env bash
# The main job on a fresh clone: install what is missing, build, start the
# stand-in core service, reload the core with CoreCtl, stop the service; then
# replay the sample scenario through the rule module.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev

log=$(mktemp)
build/dev/tools/core-service/core-service --dump >"$log" 2>&1 &
service=$!
trap 'kill -INT $service 2>/dev/null; wait $service 2>/dev/null; rm -f "$log"' EXIT
until grep -q '^serving' "$log"; do
  kill -0 "$service" 2>/dev/null || { cat "$log"; exit 1; }
  sleep 0.05
done

echo "== CoreCtl --reload-core"
status=0
build/dev/console/CoreCtl --reload-core || status=$?
echo "(exit status $status)"
echo "== what the core service received"
kill -INT "$service"
wait "$service" || true
cat "$log"

echo "== evrules: sample scenario"
scripts/evrules-demo.sh
