#!/usr/bin/env bash
# Instructions per call of our client and of the Thrift-generated one, for
# each shape of rpc_bench, counted by callgrind: repeatable on a busy machine,
# unlike times. Only the client's side of the calls is counted (the server
# runs natively in a process of its own).
#
# Usage: bench/rpc/instructions.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/../.."
bench=${1:-build/release}/bench/rpc/rpc_bench
[ -x "$bench" ] || { echo "no $bench: run cmake --workflow --preset release first" >&2; exit 2; }
command -v valgrind >/dev/null || { echo "valgrind is missing (scripts/install-deps.sh installs it)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# count CLIENT SHAPE CALLS: instructions per call.
count() {
  valgrind --tool=callgrind --callgrind-out-file="$work/out" --collect-atstart=no \
    --toggle-collect='*MeasuredCalls*' "$bench" --client "$1" --shape "$2" --calls "$3" >/dev/null 2>"$work/log" ||
    { cat "$work/log" >&2; exit 1; }
  local total
  total=$(awk '/^summary:/ {print $2}' "$work/out")
  echo $((total / $3))
}

printf '%-18s %14s %14s %8s\n' "per call" "ours" "generated" "ratio"
while read -r shape calls; do
  ours=$(count ours "$shape" "$calls")
  generated=$(count generated "$shape" "$calls")
  printf '%-18s %14s %14s %8s\n' "$shape" "$ours" "$generated" "$(awk -v a="$ours" -v b="$generated" 'BEGIN {printf "%.2f", a / b}')"
done <<'SHAPES'
ReloadCore 200
GetOption 200
GetRunningTasks 5
GetSkipList 3
SHAPES
