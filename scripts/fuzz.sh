#!/usr/bin/env bash
# Fuzzes the targets of tests/fuzz with libFuzzer (the `fuzz` preset: clang,
# ASan, UBSan), starting from their checked-in corpora.
#
# Usage: scripts/fuzz.sh TARGET|all MINUTES [libFuzzer options...]
#   TARGET: rpc_reply_fuzz, text_conversion_fuzz, evrules_exports_fuzz,
#   evreplay_input_fuzz or evtx_chunk_fuzz.
#   MINUTES may be a fraction (0.5 fuzzes for 30 s).
#
# New inputs go to build/fuzz/findings/TARGET/new, never into the checked-in
# corpus; an input that makes a target fail is written there as crash-*,
# leak-*, oom-* or timeout-*, and the script fails. Once the fault is mended,
# copy that input into tests/fuzz/corpus/TARGET: every input that ever found
# a fault stays there, and CTest replays it in every build.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/usage.sh"
cd "$(dirname "$0")/.."

all=(rpc_reply_fuzz text_conversion_fuzz evrules_exports_fuzz evreplay_input_fuzz evtx_chunk_fuzz)
if (($# < 2)); then
  sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'
  exit 2
fi
target=$1
minutes=$2
shift 2
if [ "$target" = all ]; then
  targets=("${all[@]}")
elif [[ " ${all[*]} " == *" $target "* ]]; then
  targets=("$target")
else
  echo "fuzz.sh: unknown target '$target' (one of: ${all[*]}, all)" >&2
  exit 2
fi
seconds=$(awk -v m="$minutes" 'BEGIN { s = int(m * 60 + 0.5); if (s < 1) exit 1; print s }') ||
  { echo "fuzz.sh: MINUTES must be a positive number, not '$minutes'" >&2; exit 2; }

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

status=0
for t in "${targets[@]}"; do
  findings=build/fuzz/findings/$t
  mkdir -p "$findings/new"
  log=$findings/fuzz.log
  echo "=== $t: $seconds s (log: $log)"
  if build/fuzz/tests/fuzz/"$t" -max_total_time="$seconds" -malloc_limit_mb=256 -rss_limit_mb=1024 -timeout=5 \
       -print_final_stats=1 -artifact_prefix="$findings/" "$@" "$findings/new" "tests/fuzz/corpus/$t" >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
  else
    status=1
    echo "FINDING in $t: see $log and the input it names under $findings/"
    grep -E 'ERROR|SUMMARY|Test unit written|artifact_prefix' "$log" | head -n 20 || true
  fi
done
exit "$status"
