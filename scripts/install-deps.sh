#!/usr/bin/env bash
# Installs the Debian packages a fresh machine lacks for building and testing on Linux.
# Idempotent: does nothing when everything is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libthrift-dev thrift-compiler
  libboost-program-options-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev
  libsimdjson-dev libarchive-dev   # evreplay: JSON lines, compressed logs and archives
  clang libclang-rt-14-dev llvm   # the fuzz preset: libFuzzer, sanitizers, symbolizer
  time                # /usr/bin/time: peak memory in the end-to-end tests
  valgrind hyperfine  # instruction counts and whole-process timings (bench/)
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# --windows: also what the Windows build and its Wine tests need.
if [ "${1:-}" = --windows ]; then
  "$(dirname "$0")/install-windows-deps.sh"
fi
