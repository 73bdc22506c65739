#!/usr/bin/env bash
# Every test on a fresh clone: installs what is missing, then builds and runs
# the suite with warnings as errors, again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the concurrency test under ThreadSanitizer;
# fuzzes each fuzz target for a minute; then cross-builds the 32-bit Windows
# binaries and runs their tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in ci asan tsan fuzz; do
  echo "=== $preset"
  cmake --workflow --preset "$preset"
done
echo "=== fuzzing"
scripts/fuzz.sh all 1
echo "=== windows"
tests/windows/run.sh
