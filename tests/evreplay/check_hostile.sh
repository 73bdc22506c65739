#!/usr/bin/env bash
# evreplay as a program against inputs and events an attacker would choose:
# signals inside reads of endless lines, a sandbox left by a killed run,
# inputs of the wrong kind among good ones, and logs that make the machine
# work hard (many shares of alternating computers, one very deep path).
#   check_hostile.sh EVREPLAY MODULE LOG
set -u
evreplay=$1 module=$2 log=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
ok() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAIL: $1"; }
sandboxes() { find "$work/sandbox" -mindepth 1 -maxdepth 1 -name 'evreplay-*' | wc -l; }
mkdir -p "$work/sandbox"

# signal_run NAME SIGNAL WANT_STATUS INPUT: starts evreplay on INPUT in the
# background and signals it once its sandbox exists.
signal_run() {
  local name=$1 signal=$2 want=$3
  shift 3
  "$evreplay" --module "$module" --sandbox "$work/sandbox" "$@" >"$work/out" 2>"$work/err" &
  local pid=$! waited=0
  while [ "$(sandboxes)" -eq 0 ] && ((waited < 200)); do sleep 0.02; waited=$((waited + 1)); done
  sleep 0.3
  kill "-$signal" "$pid"
  waited=0
  while kill -0 "$pid" 2>/dev/null && ((waited < 100)); do sleep 0.05; waited=$((waited + 1)); done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid"
    wait "$pid"
    fail "$name: still running 5 s after SIG$signal"
    return
  fi
  wait "$pid"
  local status=$?
  if [ "$status" -eq "$want" ] && [ "$(sandboxes)" -eq 0 ] && grep -q 'stopped before the end' "$work/err"; then
    ok "$name: SIG$signal ends it with status $status, sandbox removed"
  else
    fail "$name: status $status (want $want), $(sandboxes) sandboxes left, $(tail -n 2 "$work/err")"
  fi
}
replay() { "$evreplay" --module "$module" --sandbox "$work/sandbox" "$@"; }

signal_run "an endless device" TERM 143 /dev/zero
mkfifo "$work/fifo"
{ printf '{"Image":"'; tr '\0' a </dev/zero; } >"$work/fifo" 2>/dev/null &
writer=$!
signal_run "an endless line from a pipe" INT 130 "$work/fifo"
kill "$writer" 2>/dev/null
wait "$writer" 2>/dev/null
# One line of 16 GiB in 800 KB: a bzip2 stream of a megabyte, 16,384 times.
head -c 1000000 /dev/zero | tr '\0' a | bzip2 -1 >"$work/chunk.bz2"
for _ in $(seq 14); do cat "$work/chunk.bz2" "$work/chunk.bz2" >"$work/twice.bz2"; mv "$work/twice.bz2" "$work/chunk.bz2"; done
{ printf '{"Image":"' | bzip2; cat "$work/chunk.bz2"; } >"$work/line.bz2"
signal_run "a compressed line of 16 GiB" HUP 129 "$work/line.bz2"

# A sandbox left by a killed run (a process id no process has) is removed;
# one of a live process is not.
mkdir -p "$work/sandbox/evreplay-99999999-AbCdEf/0" "$work/sandbox/evreplay-$$-GhIjKl"
replay "$log" >/dev/null 2>&1
if [ ! -e "$work/sandbox/evreplay-99999999-AbCdEf" ] && [ -d "$work/sandbox/evreplay-$$-GhIjKl" ]; then
  ok "an abandoned sandbox is removed at the next start, a live one kept"
else
  fail "abandoned sandboxes: $(ls "$work/sandbox")"
fi
rmdir "$work/sandbox/evreplay-$$-GhIjKl"

# Wrong inputs among good ones: each named, the good one still replayed, status 3.
printf '\x89PNG\r\n\x1a\n\0\0\0' >"$work/shot.png"
: >"$work/empty.jsonl"
replay --all "$work/shot.png" "$log" "$work/empty.jsonl" >"$work/out" 2>"$work/err"
status=$?
if [ "$status" -eq 3 ] && grep -qxF "evreplay: $work/shot.png: a PNG image, not an event log" "$work/err" &&
   [ -s "$work/out" ]; then
  ok "a PNG among logs: named, the log replayed, status 3"
else
  fail "a PNG among logs: status $status, $(head -n 3 "$work/err")"
fi

# timed NAME SECONDS ARGS...: evreplay must end within SECONDS (a hang
# guard: before, these took minutes to hours), with status 0.
timed() {
  local name=$1 seconds=$2
  shift 2
  timeout "$seconds" "$evreplay" --module "$module" --sandbox "$work/sandbox" "$@" >"$work/out" 2>"$work/err"
  local status=$?
  if [ "$status" -eq 0 ]; then ok "$name"; else fail "$name: status $status, $(tail -n 3 "$work/err")"; fi
}
# Two computers alternating over 20,000 shares of their own.
awk 'BEGIN { for (i = 0; i < 20000; i++)
  printf "{\"EventID\":11,\"SourceName\":\"Microsoft-Windows-Sysmon\",\"Hostname\":\"PC%d\",\"UtcTime\":\"2024-05-01 09:00:00.000\",\"Image\":\"C:\\\\x.exe\",\"TargetFilename\":\"\\\\\\\\server%d\\\\share\\\\f.exe\"}\n", i % 2, i }' >"$work/shares.jsonl"
timed "two computers alternating over 20,000 shares" 30 "$work/shares.jsonl"
grep -q '^  used: 20000$' "$work/err" || fail "the shares' file events were not all used: $(grep used "$work/err")"
# One path of 3 MB, a folder chain a million deep, as a file and as an image.
{ printf '{"EventID":11,"SourceName":"Microsoft-Windows-Sysmon","Hostname":"PC","UtcTime":"2024-05-01 09:00:00.000","Image":"C:\\\\x.exe","TargetFilename":"C:'
  yes '\\a' | tr -d '\n' | head -c 3000000; printf '"}\n'
  printf '{"EventID":1,"SourceName":"Microsoft-Windows-Sysmon","Hostname":"PC","UtcTime":"2024-05-01 09:00:00.000","ParentImage":"C:\\\\x.exe","Image":"C:'
  yes '\\a' | tr -d '\n' | head -c 3000000; printf '"}\n'; } >"$work/deep.jsonl"
timed "one path of 3 MB" 30 "$work/deep.jsonl"
grep -q 'file path the machine cannot hold: 1' "$work/err" || fail "the deep path is not told: $(cat "$work/err")"

# A log of 200,000 distinct files against a sandbox of 1,000: the rest is skipped and told.
awk 'BEGIN { for (i = 0; i < 200000; i++)
  printf "{\"EventID\":11,\"SourceName\":\"Microsoft-Windows-Sysmon\",\"Hostname\":\"PC\",\"UtcTime\":\"2024-05-01 09:00:00.000\",\"Image\":\"C:\\\\x.exe\",\"TargetFilename\":\"C:\\\\t\\\\f%d.exe\"}\n", i }' >"$work/files.jsonl"
timed "200,000 files against --sandbox-files 1000" 60 --sandbox-files 1000 "$work/files.jsonl"
grep -q 'sandbox full (--sandbox-files, --sandbox-bytes): 199001' "$work/err" || fail "the full sandbox is not told: $(cat "$work/err")"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
