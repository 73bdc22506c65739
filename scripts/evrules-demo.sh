#!/usr/bin/env bash
# Replays a sample scenario through the rule module with the test host and
# shows the verdicts. Expects the dev preset built in build/dev.
#   scripts/evrules-demo.sh [SCENARIO.json]
set -euo pipefail

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
# One line per event: what the module answered and what it reported.
while IFS= read -r line; do
  case "$line" in
    \{*)
      if command -v python3 >/dev/null 2>&1; then
        python3 -c '
import json, sys
e = json.loads(sys.argv[1])
if "skipped" in e:
    print("  (skipped: %s)" % e["skipped"]); sys.exit()
verdicts = ", ".join("%s %s" % (r["verdict"], r["path"]) for r in e["reports"]) or "no report"
mark = "ok" if e["ok"] else "MISMATCH " + "; ".join(e.get("mismatches", []))
print("  %-55s -> %d  %s  [%s]" % (e["event"][:55], e["result"], verdicts, mark))
' "$line"
      else
        echo "  $line"
      fi
      ;;
    *) echo "$line" ;;
  esac
done <<<"$output"
exit "$status"
