#!/usr/bin/env bash
# The same events as JSON lines and as EVTX (written by jsonl_to_evtx, a few
# records a chunk) must give the same reports; --events of the EVTX file,
# read back as JSON lines, too; and --threads 1 the same output as 2 and 4.
#   check_evtx.sh EVREPLAY MODULE JSONL_TO_EVTX LOGS_DIR [LOG|OPTION... --]...
set -u
evreplay=$(realpath "$1") module=$(realpath "$2") convert=$(realpath "$3") logs=$(realpath "$4")
shift 4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
replay() { "$evreplay" --module "$module" --sandbox "$work" "$@"; }
same() {  # NAME FILE_A FILE_B: equal, and not empty
  if [ -s "$2" ] && cmp -s "$2" "$3"; then passed=$((passed + 1)); echo "ok: $1"; else
    failed=$((failed + 1)); echo "FAIL: $1"; diff "$2" "$3" | head -n 10; fi
}
while [ $# -gt 0 ]; do
  log=$1
  shift
  options=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  name=$(basename "$log" .jsonl)
  "$convert" "$logs/$log" "$work/$name.evtx" 3
  (cd "$logs" && replay "${options[@]}" "$log") >"$work/$name.json.out" 2>/dev/null
  (cd "$logs" && replay "${options[@]}" "$work/$name.evtx") >"$work/$name.evtx.out" 2>"$work/$name.evtx.err"
  same "$name: EVTX gives what JSON lines give ($(wc -l <"$work/$name.json.out") lines)" \
    "$work/$name.json.out" "$work/$name.evtx.out"
  "$evreplay" --events "$work/$name.evtx" 2>/dev/null | (cd "$logs" && replay "${options[@]}" -) >"$work/$name.events.out" 2>/dev/null
  same "$name: --events of the EVTX file, replayed" "$work/$name.evtx.out" "$work/$name.events.out"
done

# Many chunks on several threads: the output of one thread, byte for byte.
cat "$logs"/*.jsonl | grep '"EventID":[0-9]' >"$work/all.jsonl"
for _ in 1 2 3 4 5; do cat "$work/all.jsonl"; done >"$work/many.jsonl"
"$convert" "$work/many.jsonl" "$work/many.evtx" 2
for threads in 1 2 4; do
  replay --all --threads "$threads" "$work/many.evtx" >"$work/threads-$threads.out" 2>"$work/threads-$threads.err"
  grep -v '^  speed: ' "$work/threads-$threads.err" >"$work/threads-$threads.summary"
done
for threads in 2 4; do
  same "--threads $threads gives what --threads 1 gives" "$work/threads-1.out" "$work/threads-$threads.out"
  same "--threads $threads summary" "$work/threads-1.summary" "$work/threads-$threads.summary"
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
