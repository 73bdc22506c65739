#!/usr/bin/env bash
# Every test on a fresh clone: installs what is missing, then builds and runs
# the suite with warnings as errors, again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the concurrency test under ThreadSanitizer;
# fuzzes each fuzz target for a minute; then cross-builds the 32-bit Windows
# binaries, runs their tests under Wine (the release package's among them)
# and makes the release package. No stage is skipped: one that cannot run
# fails the command, and the last line names it.
# Usage: scripts/run-tests.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/usage.sh"
no_arguments "$@"
cd "$(dirname "$0")/.."

stage=dependencies
stage_start=$SECONDS
trap 'status=$?; ((status == 0)) || echo "run-tests: stage \"$stage\" failed (status $status); see above" >&2' EXIT
next_stage() {
  echo "=== $stage took $((SECONDS - stage_start)) s"
  stage=$1
  stage_start=$SECONDS
  echo "=== $stage"
}

scripts/install-deps.sh
for preset in ci asan tsan fuzz; do
  next_stage "$preset"
  cmake --workflow --preset "$preset"
done
next_stage fuzzing
scripts/fuzz.sh all 1
next_stage windows
tests/windows/run.sh
next_stage package
cmake --workflow --preset release-windows
echo "=== $stage took $((SECONDS - stage_start)) s"
echo "run-tests: every stage passed in $SECONDS s"
