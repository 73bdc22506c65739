#!/usr/bin/env bash
# Every test on a fresh clone: installs what is missing, then builds and runs
# the suite with warnings as errors, again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the concurrency test under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in ci asan tsan; do
  echo "=== $preset"
  cmake --workflow --preset "$preset"
done
