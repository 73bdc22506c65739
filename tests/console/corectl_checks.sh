# Shared by the end-to-end tests of CoreCtl: starts and stops the stand-in
# core service and runs CoreCtl against it, checking the exact bytes on
# standard output, nothing on standard error, and the exit status.
#
# The sourcing script passes: CORECTL CORE_SERVICE [RUNNER]
#   RUNNER (for example "wine") runs both programs; Windows programs end
#   their lines with CR LF. Under a runner the service serves one connection
#   (--once) and ends by itself, because a Ctrl-C sent to Wine does not
#   always reach the program; one that is still running is ended.

corectl=$1
service=$2
runner=${3:-}
eol=$'\n'
[ -n "$runner" ] && eol=$'\r\n'

READY_TIMEOUT=${READY_TIMEOUT:-20}
source "$(dirname "${BASH_SOURCE[0]}")/../lib/core_service.sh"

# Crashes of the emulator's own background processes are reported on the
# terminal's stderr; they are not the program's output.
own_stderr() {
  if [ -n "$runner" ]; then
    grep -v -e '^qemu: uncaught target signal' -e '^wine client error' "$1" || true
  else
    cat "$1"
  fi
}

# check NAME SERVICE_ARGS STATUS STDOUT [CORECTL_ARGS...]
#   SERVICE_ARGS "none" runs no service; otherwise its arguments, word-split.
#   With MAX_SECONDS set, CoreCtl must end within that time; with MAX_RSS_KB,
#   its peak resident memory must stay below it.
check() {
  local name=$1 service_args=$2 want_status=$3 want_stdout=$4
  shift 4
  if [ "$service_args" != none ]; then
    # shellcheck disable=SC2086
    start_service --dump ${runner:+--once} $service_args || problems+=("service did not start")
  fi
  local started=$SECONDS
  timeout "${MAX_SECONDS:-600}" /usr/bin/time -f %M -o "$work/rss" $runner "$corectl" "$@" \
    >"$work/stdout" 2>"$work/stderr"
  local status=$?
  local took=$((SECONDS - started))
  stop_service

  printf '%s' "$want_stdout" >"$work/want"
  cmp -s "$work/want" "$work/stdout" ||
    problems+=("stdout differs:$(printf '\n--- want\n'; od -c "$work/want" | head -40; printf -- '--- got\n'; od -c "$work/stdout" | head -40)")
  [ "$status" -eq "$want_status" ] || problems+=("exit status $status, want $want_status")
  [ -z "$(own_stderr "$work/stderr")" ] || problems+=("stderr not empty: $(own_stderr "$work/stderr" | head -c 2000)")
  if [ "${EXPECT_NO_REQUEST:-}" = 1 ] && grep -q '^request:' "$work/service.out" 2>/dev/null; then
    problems+=("a request reached the service")
  fi
  if [ -n "${MAX_RSS_KB:-}" ]; then
    local rss
    rss=$(tail -n 1 "$work/rss")
    ((rss < MAX_RSS_KB)) || problems+=("peak memory $rss KB, want below $MAX_RSS_KB KB")
  fi
  detail="$took s, peak memory $(tail -n 1 "$work/rss") KB, $(wc -c <"$work/stdout") bytes printed"
  conclude "$name"
}
