#!/usr/bin/env bash
# evreplay on EVTX, side by side in one run: a log of RECORDS (default a
# million) Sysmon records with a workstation's mix of ids (sysmon_loggen,
# written as EVTX by jsonl_to_evtx: one template per event id and set of
# fields, as Windows writes them), then ROUNDS (default 3) interleaved rounds
# of: evreplay judging with --threads 1 pinned to core 0, evreplay with
# --threads 2 on cores 0 and 1, and Debian's evtxexport (libevtx) rendering
# the same file as XML on core 0. Medians of whole runs, records per second.
# The sandbox stays in memory (/dev/shm, evreplay's default): on a disk its
# hundred thousand file creations would measure the disk.
#   bench/evreplay/evtx.sh [RECORDS] [ROUNDS]
# Uses the release build (cmake --workflow --preset release), or the one in
# EVREPLAY_BUILD_DIR. The log is kept in the build folder between runs.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/programs.sh"
records="${1:-1000000}"
rounds="${2:-3}"
command -v evtxexport >/dev/null || { echo "bench: evtxexport is missing (scripts/install-deps.sh installs it)" >&2; exit 2; }

log="$build/bench/evreplay/sysmon-$records.evtx"
if [ ! -s "$log" ]; then
  echo "writing $log ..."
  "$generate" --events "$records" | "$convert" - "$log.part"
  mv "$log.part" "$log"
fi
echo "log: $records records, $(($(stat -c %s "$log") / 1048576)) MiB"
cat "$log" >/dev/null  # in the page cache, as a log just copied would be
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# time_ms COMMAND...: milliseconds of one run; its output is dropped.
time_ms() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/one" ; : >"$work/two" ; : >"$work/peer"
for round in $(seq 1 "$rounds"); do
  one=$(time_ms taskset -c 0 "$replay" --module "$module" --threads 1 "$log")
  two=$(time_ms taskset -c 0,1 "$replay" --module "$module" --threads 2 "$log")
  peer=$(time_ms taskset -c 0 evtxexport -f xml "$log")
  echo "round $round: evreplay --threads 1 $one ms, --threads 2 $two ms, evtxexport $peer ms"
  echo "$one" >>"$work/one"; echo "$two" >>"$work/two"; echo "$peer" >>"$work/peer"
done
rate() { awk -v n="$records" -v ms="$1" 'BEGIN { printf "%d", n * 1000 / ms }'; }
one=$(median <"$work/one"); two=$(median <"$work/two"); peer=$(median <"$work/peer")
echo "medians of $rounds rounds, records a second:"
echo "  evreplay, one core:   $(rate "$one")"
echo "  evreplay, two cores:  $(rate "$two") ($(awk -v a="$one" -v b="$two" 'BEGIN { printf "%.2f", a / b }') times one core)"
echo "  evtxexport, one core: $(rate "$peer") (evreplay on one core: $(awk -v a="$peer" -v b="$one" 'BEGIN { printf "%.1f", a / b }') times as many)"
