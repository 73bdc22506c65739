#!/usr/bin/env bash
# CoreCtl --reload-core as a whole process, against the smallest C client
# making the same call (minimal_reload.c), both against the stand-in core
# service, with hyperfine: start-up, the call and exit. Runs in a network
# namespace of its own, so the core pipe is its own.
#
# Usage: bench/corectl/startup.sh [BUILD_DIR] [hyperfine options...]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
shift || true
for program in console/CoreCtl bench/corectl/minimal_reload tools/core-service/core-service; do
  [ -x "$build/$program" ] || { echo "no $build/$program: run cmake --workflow --preset release first" >&2; exit 2; }
done
command -v hyperfine >/dev/null || { echo "hyperfine is missing (scripts/install-deps.sh installs it)" >&2; exit 2; }
if [ -z "${TEVRIN_OWN_NETWORK:-}" ]; then
  TEVRIN_OWN_NETWORK=1 exec unshare -n "$0" "$build" "$@"
fi

log=$(mktemp)
"$build/tools/core-service/core-service" >"$log" 2>&1 &
service=$!
trap 'kill -INT $service 2>/dev/null; wait $service 2>/dev/null; rm -f "$log"' EXIT
until grep -q '^serving' "$log"; do sleep 0.05; done

hyperfine -N --warmup 20 --runs "${RUNS:-300}" "$@" \
  "$build/console/CoreCtl --reload-core" \
  "$build/bench/corectl/minimal_reload" \
  "$build/console/CoreCtl --help"
