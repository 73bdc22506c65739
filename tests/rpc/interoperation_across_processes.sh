#!/usr/bin/env bash
# The interoperation tests across processes: rpc_interop_client against two
# stand-in services (the fixed exchange, and the fixed failure) on pipes of
# this run's own, then a count of the operations each service answered.
# Usage: interoperation_across_processes.sh CLIENT CORE_SERVICE [RUNNER]
#   RUNNER (for example wine.sh) runs the three programs.
set -u
client=$1
service=$2
runner=${3:-}
operations=45  # every operation of ServiceRpc
work=$(mktemp -d)
pids=()
cleanup() {
  local pid waited
  for pid in "${pids[@]}"; do kill -INT "$pid" 2>/dev/null; done
  # A Ctrl-C does not always reach a program under Wine: give it a moment.
  for pid in "${pids[@]}"; do
    waited=0
    while kill -0 "$pid" 2>/dev/null && ((waited < 40)); do
      sleep 0.05
      waited=$((waited + 1))
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

# start NAME ANSWER: a service on a pipe unique to this run.
start() {
  local pipe="\\\\.\\pipe\\tevrin-interop-$$-$1"
  $runner "$service" --pipe "$pipe" --answer "$2" --dump >"$work/$1.log" 2>&1 &
  pids+=($!)
  printf '%s' "$pipe" >"$work/$1.pipe"
}
start scripted interop
start failing interop-fail
for name in scripted failing; do
  waited=0
  until grep -q '^serving' "$work/$name.log"; do
    if ((waited >= 600)); then
      echo "FAIL: the $name service did not start:"
      cat "$work/$name.log"
      exit 1
    fi
    sleep 0.05
    waited=$((waited + 1))
  done
done

$runner "$client" --pipe "$(cat "$work/scripted.pipe")" --failing-pipe "$(cat "$work/failing.pipe")"
status=$?
if ((status)); then
  echo "FAIL: rpc_interop_client ended with status $status; the services' last calls:"
  for name in scripted failing; do
    grep -a '^call: ' "$work/$name.log" | tail -n 3 | cut -c 1-300 | sed "s/^/  $name: /"
  done
  exit 1
fi

# Which operations each service answered, from its log of calls (a service
# logs a call just after its reply, so the last line may come a moment late).
count() { grep -a '^call: ' "$work/$1.log" | sed 's/^call: \([A-Za-z]*\)(.*/\1/' | sort -u | wc -l; }
for _ in $(seq 100); do
  scripted=$(count scripted)
  failing=$(count failing)
  ((scripted == operations && failing == operations)) && break
  sleep 0.1
done
echo "$scripted of $operations operations round-tripped with the fixed values," \
     "$failing of $operations with the service's failure"
((scripted == operations && failing == operations))
