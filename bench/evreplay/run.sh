#!/usr/bin/env bash
# evreplay's speed on one core: generates a log of EVENTS (default a million)
# Sysmon events as JSON lines of about 1 KB with a workstation's mix of ids,
# then times whole runs of evreplay pinned to core 0 (module loading, the
# sandbox's set-up and removal included) and prints events per second.
#   bench/evreplay/run.sh [EVENTS] [RUNS]
# Uses the release build (cmake --workflow --preset release), or the one in
# EVREPLAY_BUILD_DIR. EVREPLAY_SHAPE=winlogbeat times the nested shape.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/programs.sh"
events="${1:-1000000}"
runs="${2:-3}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$generate" --events "$events" --shape "${EVREPLAY_SHAPE:-flat}" >"$work/log.jsonl"
bytes=$(stat -c %s "$work/log.jsonl")
echo "log: $events events, $((bytes / events)) bytes a line on average, ${EVREPLAY_SHAPE:-flat} shape"
cat "$work/log.jsonl" >/dev/null  # in the page cache, as a log just copied would be

best=0
for run in $(seq 1 "$runs"); do
  start=$(date +%s%N)
  taskset -c 0 "$replay" --module "$module" --sandbox "$work" "$work/log.jsonl" >"$work/out" 2>"$work/summary"
  end=$(date +%s%N)
  rate=$((events * 1000000000 / (end - start)))
  echo "run $run: $(((end - start) / 1000000)) ms, $rate events/s"
  ((rate > best)) && best=$rate
done
echo "best: $best events/s on one core"
echo "evreplay's summary of the last run:"
cat "$work/summary"
