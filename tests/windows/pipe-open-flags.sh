#!/usr/bin/env bash
# What the shipped programs ask Windows for when they open the service's
# pipe: security quality of service present, at the identification level
# (so that whoever serves the pipe can never act as the caller), and
# overlapped I/O only where a deadline needs it. Wine does not enforce
# impersonation levels, so the attribute word of the open is read from Wine's
# own trace of CreateFileW (WINEDEBUG=+file).
#
# Usage: pipe-open-flags.sh CORECTL CORECALL CORE_SERVICE RUNNER
set -u
corectl=$1
corecall=$2
service=$3
runner=$4

source "$(dirname "$0")/../lib/core_service.sh"

# expect_open NAME PIPE WANT_OVERLAPPED PROGRAM ARGS...: runs the program
# traced and checks the attribute word of its open of PIPE.
expect_open() {
  local name=$1 pipe=$2 want_overlapped=$3
  shift 3
  WINEDEBUG=+file $runner "$@" >"$work/out" 2>"$work/trace"
  local status=$?
  # 0123:trace:file:CreateFileW L"\\\\.\\pipe\\NAME" GENERIC_READ GENERIC_WRITE  creation 3 attributes 0x110000
  local word
  word=$(grep -F 'trace:file:CreateFileW' "$work/trace" | grep -F "pipe\\\\$pipe\"" |
         sed -n 's/.* attributes 0x\([0-9a-fA-F]*\).*/\1/p' | head -n 1)
  ((status == 0)) || problems+=("exit status $status: $(grep -v ':trace:' "$work/trace" | head -n 3) $(cat "$work/out")")
  if [ -z "$word" ]; then
    problems+=("no CreateFileW of the pipe in the trace")
  else
    local flags=$((16#$word))
    ((flags & 0x00100000)) || problems+=("attributes 0x$word: SECURITY_SQOS_PRESENT is missing")
    (((flags >> 16 & 3) == 1)) || problems+=("attributes 0x$word: level $((flags >> 16 & 3)), not identification (1)")
    (((flags & 0x40000000) != 0 == want_overlapped)) ||
      problems+=("attributes 0x$word: overlapped is $(((flags & 0x40000000) != 0)), want $want_overlapped")
  fi
  detail=${word:+attributes 0x$word}
  conclude "$name"
}

# The name the programs are built with, from where they take it.
core_pipe=$(sed -n 's/.*kCorePipeName = ".*\\\\\(.*\)";/\1/p' "$(dirname "$0")/../../rpc/service/CorePipe.h")
start_service
expect_open "CoreCtl --reload-core" "$core_pipe" 0 "$corectl" --reload-core
stop_service

pipe="tevrin-open-flags-$$"
start_service --pipe "\\\\.\\pipe\\$pipe"
expect_open "CoreCall ReloadCore" "$pipe" 0 "$corecall" --pipe "$pipe" ReloadCore
expect_open "CoreCall --timeout 30 ReloadCore" "$pipe" 1 "$corecall" --pipe "$pipe" --timeout 30 ReloadCore
stop_service

finish
