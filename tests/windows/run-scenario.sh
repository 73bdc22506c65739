#!/usr/bin/env bash
# Replays one scenario file through evhost.exe against evrules.dll under
# Wine, on the prefix's real drive C:. The scenario's other drives were made
# for the prefix by make-drives.sh when tests/windows/run.sh created it.
# Usage: run-scenario.sh EVHOST_EXE EVRULES_DLL SCENARIO_JSON
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
evhost=$1
module=$2
scenario=$3

: "${WINEPREFIX:?run the Windows tests with tests/windows/run.sh}"

# Wine reaches the Linux file system as drive Z:.
windows_path() { local path; path=$(realpath "$1"); printf 'Z:%s' "${path//\//\\}"; }

missing=$(python3 -c '
import json, os, sys
machine = json.load(open(sys.argv[1], encoding="utf-8")).get("machine", {})
for drive in machine.get("drives", []):
    letter = drive["root"][0].lower()
    if not os.path.exists(os.path.join(sys.argv[2], "dosdevices", letter + ":")):
        print(letter.upper() + ":", end=" ")
' "$scenario" "$WINEPREFIX")
if [ -n "$missing" ]; then
  echo "run-scenario: the prefix has no drive ${missing% }; tests/windows/run.sh makes the drives of the scenario files" >&2
  exit 1
fi

exec "$here/wine.sh" "$evhost" --module "$(windows_path "$module")" --quiet "$(windows_path "$scenario")"
