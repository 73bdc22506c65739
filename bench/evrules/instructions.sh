#!/usr/bin/env bash
# Instructions per event for each of the benchmark's events, counted by
# valgrind's callgrind: repeatable where wall-clock figures are not. Only the
# loop that runs the event (CountedRuns in evrules_bench.cpp) is counted; the
# event runs once before it, so first-call work is left out.
#
# Usage: bench/evrules/instructions.sh [BENCH_BINARY] [RUNS] [EVENT...]
#   BENCH_BINARY  default build/evrules-release/bench/evrules/evrules_bench
#   RUNS          events per count, default 1000
#   EVENT         default every event the binary lists
set -euo pipefail
cd "$(dirname "$0")/../.."

bench=${1:-build/evrules-release/bench/evrules/evrules_bench}
runs=${2:-1000}
shift $(($# < 2 ? $# : 2))
command -v valgrind >/dev/null || { echo "instructions.sh: valgrind is not installed" >&2; exit 2; }
[ -x "$bench" ] || { echo "instructions.sh: no benchmark binary at $bench" >&2; exit 2; }

if (($# > 0)); then events=("$@"); else mapfile -t events < <("$bench" --list-events); fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
printf '%-40s %14s %17s\n' event instructions allocs_per_event
for event in "${events[@]}"; do
  line=$(valgrind --tool=callgrind --callgrind-out-file="$out/$event.out" --toggle-collect='*CountedRuns*' \
           "$bench" --count-event "$event" "$runs" 2>"$out/$event.log") ||
    { echo "instructions.sh: $event failed:" >&2; cat "$out/$event.log" >&2; exit 1; }
  total=$(awk '/^(summary|totals):/ { print $2; exit }' "$out/$event.out")
  allocs=${line##*allocs_per_event=}
  printf '%-40s %14.1f %17s\n' "$event" "$(awk -v t="$total" -v n="$runs" 'BEGIN { print t / n }')" "$allocs"
done
