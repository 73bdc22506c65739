#!/usr/bin/env bash
# Installs the Debian packages a fresh machine lacks for building and testing on Linux.
# Idempotent: does nothing when everything is present (scripts/apt-install.sh).
# Usage: scripts/install-deps.sh [--windows]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/usage.sh"

packages=(
  cmake ninja-build g++ pkg-config
  libthrift-dev thrift-compiler
  libboost-program-options-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev
  libsimdjson-dev libarchive-dev   # evreplay: JSON lines, compressed logs and archives
  zlib1g-dev          # the EVTX reader's checksums
  python3-evtx        # a test oracle: a parser of EVTX no one here wrote
  libevtx-utils       # evtxexport, the peer of the EVTX benchmark
  chromium            # headless: the HTML report as a browser renders it
  clang libclang-rt-14-dev llvm   # the fuzz preset: libFuzzer, sanitizers, symbolizer
  time                # /usr/bin/time: peak memory in the end-to-end tests
  valgrind hyperfine  # instruction counts and whole-process timings (bench/)
)

"$(dirname "$0")/apt-install.sh" --retry "$0" "${packages[@]}"

# --windows: also what the Windows build and its Wine tests need.
if [ "${1:-}" = --windows ]; then
  "$(dirname "$0")/install-windows-deps.sh"
fi
