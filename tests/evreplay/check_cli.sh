#!/usr/bin/env bash
# evreplay run as its users run it: the exit statuses, usage errors, help and
# version, the module found beside it, the output formats and -o, a closed
# pipe, and on a pseudo-terminal the table's colours and the progress line.
#   check_cli.sh EVREPLAY LOGS_DIR
set -uo pipefail
evreplay=$1 logs=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
ok() { echo "ok: $1"; }
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }
# expect NAME STATUS COMMAND...: the command ends with STATUS; its output in
# $work/out and $work/err.
expect() {
  local name=$1 want=$2
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  local status=$?
  if [ "$status" -eq "$want" ]; then ok "$name: status $status"; else fail "$name: status $status, want $want: $(head -c 300 "$work/err")"; fi
}
# has NAME FILE TEXT: FILE holds the line TEXT.
has() { if grep -qxF -- "$3" "$2"; then ok "$1"; else fail "$1: no line '$3' in $(head -c 400 "$2")"; fi; }
replay() { "$evreplay" --sandbox "$work" "$@"; }
log=$logs/auto-run.jsonl

# Statuses: 0 done, 1 a report with --fail-on-report, 2 usage, 3 an input
# not read, 4 no module.
expect "a replay" 0 replay "$log"
has "the module found beside evreplay is named" "$work/err" "  module: $(cd "$(dirname "$evreplay")/../../evrules" && pwd)/libevrules.so"
expect "--fail-on-report with reports" 1 replay --fail-on-report "$log"
expect "--fail-on-report without" 0 replay --fail-on-report "$logs/benign.jsonl"
expect "an unknown option" 2 replay --modul=x "$log"
if [ "$(wc -l <"$work/err")" -eq 2 ] && [ ! -s "$work/out" ]; then ok "a usage error is two lines"; else fail "usage error: $(cat "$work/err")"; fi
has "the usage error names the problem" "$work/err" "evreplay: unknown option '--modul' (did you mean '--module'?)"
has "and points to the help" "$work/err" "Try 'evreplay --help' for more information."
expect "no FILE" 2 replay
expect "a missing file" 3 replay "$work/missing.jsonl" "$log"
has "a missing file is named" "$work/err" "evreplay: $work/missing.jsonl: cannot open: No such file or directory"
expect "a missing module" 4 replay --module "$work/none.so" "$log"
expect "-h" 0 "$evreplay" -h
if head -n 1 "$work/out" | grep -q '^Usage: evreplay '; then ok "-h prints the usage"; else fail "-h: $(head -n 1 "$work/out")"; fi
expect "--version" 0 "$evreplay" --version
if grep -qE '^evreplay \(Tevrin Security Suite\) [0-9]+\.[0-9]+\.[0-9]+$' "$work/out"; then ok "--version"; else fail "--version: $(cat "$work/out")"; fi
# An installed module beside an installed evreplay (bin/ and lib/): found.
mkdir -p "$work/prefix/bin" "$work/prefix/lib"
cp "$evreplay" "$work/prefix/bin/"
cp "$(dirname "$evreplay")/../../evrules/libevrules.so" "$work/prefix/lib/"
expect "an installed layout" 0 "$work/prefix/bin/evreplay" --sandbox "$work" "$log"
has "finds the installed module" "$work/err" "  module: $work/prefix/lib/libevrules.so"

# Formats and -o.
expect "--format=csv -o" 0 replay --format=csv -o "$work/t.csv" "$log"
if [ ! -s "$work/out" ] && [ "$(head -n 1 "$work/t.csv")" = $'time,computer,record,event,result,result_name,kind,verdict,path,process,target,command_line,flags,key,value,operation\r' ] &&
   [ "$(wc -l <"$work/t.csv")" -eq 4 ]; then ok "CSV: a header and a row a report, in the file"; else fail "CSV: $(head -n 2 "$work/t.csv")"; fi
expect "--format table" 0 replay --format table "$log"
if head -n 1 "$work/out" | grep -q '^TIME (UTC) .* COMPUTER .* VERDICT .* WHAT$' && ! grep -q $'\033' "$work/out"; then
  ok "table: a header, no colour into a file"
else
  fail "table: $(head -n 2 "$work/out")"
fi

# On a terminal: colour unless NO_COLOR; the progress line in percent.
script -qec "$evreplay --sandbox $work --format table $log" /dev/null >"$work/tty" </dev/null
if grep -q $'\033\[1;31mHIPS:' "$work/tty"; then ok "table on a terminal: detections in red"; else fail "no colour: $(head -c 300 "$work/tty")"; fi
NO_COLOR=1 script -qec "$evreplay --sandbox $work --format table $log" /dev/null >"$work/tty" </dev/null
if ! grep -q $'\033\[1;31m' "$work/tty"; then ok "NO_COLOR: no colour"; else fail "NO_COLOR ignored"; fi
# Enough events for a progress line (the first comes early, then one a second).
for _ in $(seq 2000); do cat "$logs/benign.jsonl"; done >"$work/big.jsonl"
# A reader that goes away: quiet, at once.
replay --all "$work/big.jsonl" 2>"$work/err" | head -n 1 >/dev/null
status=${PIPESTATUS[0]}
if [ "$status" -eq 141 ]; then ok "a closed pipe: status $status"; else fail "closed pipe: status $status"; fi
if [ ! -s "$work/err" ]; then ok "a closed pipe: nothing on standard error"; else fail "closed pipe said: $(head -c 300 "$work/err")"; fi
if [ -z "$(ls -d "$work"/evreplay-* 2>/dev/null)" ]; then ok "a closed pipe: sandbox removed"; else fail "closed pipe left a sandbox"; fi

script -qec "$evreplay --sandbox $work -o /dev/null $work/big.jsonl $work/big.jsonl $work/big.jsonl" /dev/null >"$work/tty" </dev/null
if grep -qaE 'evreplay: +[0-9]+%, [0-9]+ events, [0-9]+ events/s, [0-9]+ s left' "$work/tty"; then
  ok "progress on a terminal: percent and time left"
else
  fail "no progress line in $(tr '\r' '\n' <"$work/tty" | head -n 3)"
fi
replay -o /dev/null "$work/big.jsonl" 2>"$work/err"
if ! grep -q '%' "$work/err"; then ok "no progress into a file"; else fail "progress into a file"; fi

echo "$failures failed"
[ "$failures" -eq 0 ]
