# Sourced by the tests that run programs against the stand-in core service.
# The sourcing script sets `service` (the core-service program) and `runner`
# (empty, or the Wine runner that runs both). It gets:
#   $work                   a folder removed at the end (with the service)
#   start_service ARGS...   starts the service and waits for its "serving"
#                           line (READY_TIMEOUT seconds, default 20); its
#                           output goes to $work/service.out
#   start_logged LOG ARGS...  the same with the output in LOG (several
#                           services may run at once)
#   stop_service [GRACE]    stops every service started: waits GRACE
#                           twentieths of a second for one that serves one
#                           connection (--once) to end by itself, then
#                           Ctrl-C, then KILL: a Ctrl-C sent to Wine does not
#                           always reach the program
#   conclude NAME           counts a case as passed, or failed with the
#                           lines of problems[] (and $detail), then clears them
#   finish                  prints the counts; exits 1 when a case failed
work=$(mktemp -d)
service_pids=()
passed=0
failed=0
problems=()
detail=
trap 'stop_service; rm -rf "$work"' EXIT

start_logged() {
  local log=$1
  shift
  : >"$log"
  $runner "$service" "$@" >"$log" 2>&1 &
  local pid=$!
  service_pids+=("$pid")
  local waited=0
  until grep -q '^serving' "$log"; do
    if ! kill -0 "$pid" 2>/dev/null || ((waited >= ${READY_TIMEOUT:-20} * 20)); then
      echo "core-service did not start: $(cat "$log")"
      return 1
    fi
    sleep 0.05
    waited=$((waited + 1))
  done
}

start_service() { start_logged "$work/service.out" "$@"; }

stop_service() {
  local grace=${1:-0} pid waited
  for pid in "${service_pids[@]}"; do
    waited=0
    while kill -0 "$pid" 2>/dev/null && ((waited < grace + 40)); do
      ((waited == grace)) && kill -INT "$pid" 2>/dev/null
      sleep 0.05
      waited=$((waited + 1))
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  service_pids=()
}

conclude() {
  local name=$1
  if ((${#problems[@]})); then
    failed=$((failed + 1))
    echo "FAIL: $name${detail:+ ($detail)}"
    printf '  %s\n' "${problems[@]}"
  else
    passed=$((passed + 1))
    echo "ok: $name${detail:+ ($detail)}"
  fi
  problems=()
  detail=
}

finish() {
  echo "$passed passed, $failed failed"
  ((failed == 0)) || exit 1
  exit 0
}
