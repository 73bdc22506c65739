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
READY_TIMEOUT=30
source "$(dirname "$0")/../lib/core_service.sh"

# start NAME ANSWER: a service on a pipe unique to this run.
start() {
  local pipe="\\\\.\\pipe\\tevrin-interop-$$-$1"
  printf '%s' "$pipe" >"$work/$1.pipe"
  start_logged "$work/$1.log" --pipe "$pipe" --answer "$2" --dump || exit 1
}
start scripted interop
start failing interop-fail

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
