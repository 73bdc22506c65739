#!/usr/bin/env bash
# The main job on a fresh clone: install what is missing, build, start the
# stand-in core service, reload the core with CoreCtl, stop the service; then
# replay the sample scenario through the rule module. Exits 0 when all of it
# worked.
# Usage: scripts/run-main.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/usage.sh"
no_arguments "$@"
cd "$(dirname "$0")/.."

scripts/install-deps.sh
# Configured once; later builds reconfigure by themselves when needed. Only
# what the job runs is built (the tests are `scripts/run-tests.sh`'s).
[ -f build/dev/CMakeCache.txt ] || cmake --preset dev >/dev/null
cmake --build --preset dev --target CoreCtl core-service evhost evrules
exec scripts/reload-and-replay.sh build/dev
