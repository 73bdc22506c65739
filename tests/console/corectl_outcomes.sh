#!/usr/bin/env bash
# CoreCtl end to end against the stand-in core service: for each situation,
# the exact bytes on standard output, nothing on standard error, and the exit
# status.
#
# Usage: corectl_outcomes.sh CORECTL CORE_SERVICE [RUNNER]
#   RUNNER (for example "wine") runs both programs; Windows programs end
#   their lines with CR LF. Under a runner the service serves one connection
#   (--once) and ends by itself, because a Ctrl-C sent to Wine does not
#   always reach the program; one that is still running is ended.
set -u

corectl=$1
service=$2
runner=${3:-}
eol=$'\n'
[ -n "$runner" ] && eol=$'\r\n'
ready_timeout=${READY_TIMEOUT:-20}

work=$(mktemp -d)
service_pid=
cleanup() {
  stop_service
  rm -rf "$work"
}
trap cleanup EXIT

start_service() {
  : >"$work/service.out"
  $runner "$service" "$@" >"$work/service.out" 2>&1 &
  service_pid=$!
  local waited=0
  until grep -q '^serving' "$work/service.out"; do
    if ! kill -0 "$service_pid" 2>/dev/null || ((waited >= ready_timeout * 20)); then
      echo "core-service did not start: $(cat "$work/service.out")"
      return 1
    fi
    sleep 0.05
    waited=$((waited + 1))
  done
}

stop_service() {
  [ -n "$service_pid" ] || return 0
  if [ -n "$runner" ]; then
    local waited=0
    while kill -0 "$service_pid" 2>/dev/null && ((waited < 40)); do
      ((waited == 0)) && kill -INT "$service_pid" 2>/dev/null
      sleep 0.05
      waited=$((waited + 1))
    done
    kill -KILL "$service_pid" 2>/dev/null
  else
    kill -INT "$service_pid" 2>/dev/null
  fi
  wait "$service_pid" 2>/dev/null
  service_pid=
}

passed=0
failed=0
usage="Usage: CoreCtl.exe [options]${eol}Allowed options:${eol}  --help                Show usage information${eol}  --reload-core         Reload AV core${eol}${eol}"
connection_failed="Reloading core: Rpc connection failed: "

# check NAME SERVICE_ARGS STATUS STDOUT [COREC_ARGS...]
#   SERVICE_ARGS "none" runs no service; otherwise its arguments, word-split.
check() {
  local name=$1 service_args=$2 want_status=$3 want_stdout=$4
  shift 4
  local problems=()
  if [ "$service_args" != none ]; then
    # shellcheck disable=SC2086
    start_service --dump ${runner:+--once} $service_args || problems+=("service did not start")
  fi
  $runner "$corectl" "$@" >"$work/stdout" 2>"$work/stderr"
  local status=$?
  stop_service

  printf '%s' "$want_stdout" >"$work/want"
  cmp -s "$work/want" "$work/stdout" ||
    problems+=("stdout differs:$(printf '\n--- want\n'; od -c "$work/want"; printf -- '--- got\n'; od -c "$work/stdout")")
  [ "$status" -eq "$want_status" ] || problems+=("exit status $status, want $want_status")
  if [ -n "$runner" ]; then
    # Crashes of the emulator's own background processes are reported on the
    # terminal's stderr; they are not the program's output.
    grep -v -e '^qemu: uncaught target signal' -e '^wine client error' "$work/stderr" >"$work/stderr.own" || true
    mv "$work/stderr.own" "$work/stderr"
  fi
  [ ! -s "$work/stderr" ] || problems+=("stderr not empty: $(cat "$work/stderr")")
  if [ "${EXPECT_NO_REQUEST:-}" = 1 ] && grep -q '^request:' "$work/service.out" 2>/dev/null; then
    problems+=("a request reached the service")
  fi

  if ((${#problems[@]})); then
    failed=$((failed + 1))
    echo "FAIL: $name"
    printf '  %s\n' "${problems[@]}"
  else
    passed=$((passed + 1))
    echo "ok: $name"
  fi
}

check "no arguments: usage" none 0 "$usage"
check "a stray word: usage" none 0 "$usage" stray
check "help: usage" none 0 "$usage" --help
EXPECT_NO_REQUEST=1 check "help wins over reload-core, nothing sent" "" 0 "$usage" --help --reload-core
check "service answers true" "" 0 "Reloading core: OK${eol}" --reload-core
check "unique prefix --reload" "" 0 "Reloading core: OK${eol}" --reload
check "reply with sequence id 7" "--sequence-id 7" 0 "Reloading core: OK${eol}" --reload-core
check "service answers false" "--answer false" 255 "Reloading core: Failed${eol}" --reload-core
check "service raises OperationFailed" "--answer fail --number 3 --text refused" 255 \
  "Reloading core: Failed${eol}" --reload-core
check "service not running" none 255 \
  "${connection_failed}TWin32PipeClient open() failed: errno = 2${eol}Failed${eol}" --reload-core
check "all pipe instances busy" "--answer busy" 255 \
  "${connection_failed}TWin32PipeClient open() failed: errno = 231${eol}Failed${eol}" --reload-core
check "service closes before answering" "--answer close" 255 \
  "${connection_failed}TWin32PipeClient read() failed: errno = 109${eol}Failed${eol}" --reload-core
check "exception reply with a message" "--answer exception --type 6 --message core-locked" 255 \
  "${connection_failed}core-locked${eol}Failed${eol}" --reload-core
check "exception reply without a message" "--answer exception --type 1" 255 \
  "${connection_failed}TApplicationException: Unknown method${eol}Failed${eol}" --reload-core
check "reply without result" "--answer empty" 255 \
  "${connection_failed}ReloadCore failed: unknown result${eol}Failed${eol}" --reload-core
check "reply for another operation" "--answer name --name reloadcore" 255 \
  "${connection_failed}TApplicationException: Wrong method name${eol}Failed${eol}" --reload-core
check "reply of message type call" "--answer type --message-type 1" 255 \
  "${connection_failed}TApplicationException: Invalid message type${eol}Failed${eol}" --reload-core
check "undeclared option" none 255 \
  "unrecognised option '--bogus'${eol}Type --help to see usage information${eol}" --bogus
check "value given to an option" none 255 \
  "option '--help' does not take any arguments${eol}Type --help to see usage information${eol}" --help=yes
check "option given twice" none 255 \
  "option '--reload-core' cannot be specified more than once${eol}Type --help to see usage information${eol}" \
  --reload-core --reload-core

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
