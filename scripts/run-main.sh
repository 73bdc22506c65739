#!/usr/bin/env bash
# The main job on a fresh clone: install what is missing, build, start the
# stand-in core service, reload the core with CoreCtl, stop the service; then
# replay the sample scenario through the rule module. Exits 0 when all of it
# worked.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
exec scripts/reload-and-replay.sh build/dev
