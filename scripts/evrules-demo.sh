#!/usr/bin/env bash
# Replays a sample scenario through the rule module with the test host and
# shows the verdicts. Expects the dev preset built in build/dev.
# Usage: scripts/evrules-demo.sh [SCENARIO.json]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/usage.sh"

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${EVRULES_BUILD_DIR:-$root/build/dev}"
host="$build/tools/evhost/evhost"
module="$build/evrules/libevrules.so"
scenario="${1:-$root/tests/evrules/scenarios/process-names.json}"

for needed in "$host" "$module"; do
  if [ ! -e "$needed" ]; then
    echo "evrules-demo: $needed is missing; build the dev preset first (cmake --workflow --preset dev)" >&2
    exit 2
  fi
done

echo "Replaying $(basename "$scenario") through $(basename "$module"):"
status=0
output="$("$host" --module "$module" "$scenario")" || status=$?
# One line per event: what the module answered and what it reported; one
# python for all of them.
python3 -c '
import json, sys
for line in sys.stdin:
    line = line.rstrip("\n")
    if not line.startswith("{"):
        print(line)
        continue
    e = json.loads(line)
    if "skipped" in e:
        print("  (skipped: %s)" % e["skipped"])
        continue
    verdicts = ", ".join("%s %s" % (r["verdict"], r["path"]) for r in e["reports"]) or "no report"
    mark = "ok" if e["ok"] else "MISMATCH " + "; ".join(e.get("mismatches", []))
    print("  %-55s -> %d  %s  [%s]" % (e["event"][:55], e["result"], verdicts, mark))
' <<<"$output"
exit "$status"
