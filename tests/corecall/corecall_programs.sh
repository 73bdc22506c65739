#!/usr/bin/env bash
# CoreCall against the stand-in service as the programs are shipped, for the
# Windows build under Wine (and the Linux build alike): the list, a call with
# texts beyond ASCII both ways, OperationFailed, no service at all, and a
# service that never reads the request, ended by the deadline.
#
# Usage: corecall_programs.sh CORECALL CORE_SERVICE [RUNNER]
#   RUNNER (for example tests/windows/wine.sh) runs both programs; Windows
#   programs end their lines with CR LF and reach Linux files through Z:.
set -u
corecall=$1
service=$2
runner=${3:-}
eol=$'\n'
drive=
if [ -n "$runner" ]; then
  eol=$'\r\n'
  drive=Z:
fi

source "$(dirname "$0")/../lib/core_service.sh"
pipe="tevrin-corecall-$$"
# One connection, dumped; stopped after it has ended by itself.
serve() { start_service --pipe "\\\\.\\pipe\\$pipe" --dump --once "$@"; }
stop() { stop_service 60; }

# expect NAME STATUS STDOUT STDERR [CORECALL_ARGS...]: runs CoreCall on the pipe.
expect() {
  local name=$1 want_status=$2 want_out=$3 want_err=$4
  shift 4
  $runner "$corecall" --pipe "$pipe" "$@" >"$work/out" 2>"$work/err"
  local status=$?
  stop
  # The emulator's own crash reports are not the program's output.
  grep -v -e '^qemu: uncaught target signal' -e '^wine client error' "$work/err" >"$work/err.own"
  [ "$status" -eq "$want_status" ] || problems+=("exit status $status, want $want_status")
  printf '%s' "$want_out" | cmp -s - "$work/out" || problems+=("stdout: $(od -c "$work/out" | head -20)")
  printf '%s' "$want_err" | cmp -s - "$work/err.own" || problems+=("stderr: $(cat "$work/err.own")")
  conclude "$name"
}
# expect_call LINE: the service noted this call.
expect_call() {
  if grep -qxF "call: $1" <(tr -d '\r' <"$work/service.out"); then
    passed=$((passed + 1))
    echo "ok: the service got $1"
  else
    failed=$((failed + 1))
    echo "FAIL: the service did not get $1: $(cat "$work/service.out")"
  fi
}

$runner "$corecall" list >"$work/list" 2>"$work/err"
if [ "$?" -eq 0 ] && [ "$(grep -c . "$work/list")" -eq 45 ] &&
   [ "$(head -n 1 "$work/list")" = " 1 QueryInformation(1: i32 id) -> string${eol%$'\n'}" ]; then
  passed=$((passed + 1))
  echo "ok: list shows 45 operations"
else
  failed=$((failed + 1))
  echo "FAIL: list: $(head -n 3 "$work/list")"
fi

text='Gr\u00fc\u00dfe \u20ac \ud83d\ude00'
printf '{"text": "%s"}' "$text" >"$work/answers.json"
serve --answer-file "$drive$work/answers.json"
expect "a text answer" 0 "{\"result\":\"Grüße € 😀\"}$eol" "" --compact QueryInformation '{"id": -5}'
expect_call "QueryInformation(-5)"

serve
expect "a text argument" 0 "{}$eol" "" SetOption '{"id": 7, "value": "Grüße € 😀"}'
expect_call 'SetOption(7, "Grüße € 😀")'

serve --answer fail --number 3 --text refused
expect "OperationFailed" 1 "{${eol}  \"error\": \"OperationFailed\",${eol}  \"number\": 3,${eol}  \"text\": \"refused\"${eol}}$eol" "" \
  GetTaskInfo '{"task": 1}'

expect "no service" 4 "" "CoreCall: TWin32PipeClient open() failed: errno = 2 (no service listens on this pipe; is the core service running?)$eol" ReloadCore

# --server-account: another account than the service's gets nothing sent;
# the service's own, named in that refusal, gets the call.
if [ -n "$runner" ]; then other=S-1-5-18; else other=$(($(id -u) + 1)); fi
serve
$runner "$corecall" --pipe "$pipe" --server-account "$other" ReloadCore >"$work/out" 2>"$work/err"
status=$?
stop
account=$(tr -d '\r' <"$work/err" | sed -n "s/^CoreCall: the pipe is served by \(.*\), not $other\$/\1/p")
if [ "$status" -eq 4 ] && [ -n "$account" ] && [ "$account" != "$other" ] && [ ! -s "$work/out" ] &&
   ! grep -q '^request:' "$work/service.out" && { [ -n "$runner" ] || [ "$account" = "$(id -u)" ]; }; then
  passed=$((passed + 1))
  echo "ok: --server-account $other is refused before anything is sent (served by $account)"
else
  failed=$((failed + 1))
  echo "FAIL: --server-account $other: status $status, $(cat "$work/err") $(cat "$work/service.out")"
fi
serve
expect "--server-account of the service's own account" 0 "{\"result\":true}$eol" "" \
  --compact --server-account "$account" ReloadCore
expect_call "ReloadCore()"

# The request is never read: the deadline ends the wait for it.
serve --answer silent
expect "a service that never reads, --timeout 1" 4 "" \
  "CoreCall: TWin32PipeClient flush() failed: errno = 1460 (no answer within --timeout)$eol" --timeout 1 ReloadCore

finish
