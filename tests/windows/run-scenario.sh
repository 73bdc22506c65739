#!/usr/bin/env bash
# Replays one scenario file through evhost.exe against evrules.dll under
# Wine, on the prefix's real drive C:. Drives other than C: that the scenario
# lists are made for the prefix first: a folder beside the prefix, linked as
# the drive letter, with its type in Wine's drive table. (Wine's mount
# manager reads that table only when it starts, and under qemu it still
# reports such a drive as fixed: see "Known gaps" in README.md.)
# Usage: run-scenario.sh EVHOST_EXE EVRULES_DLL SCENARIO_JSON
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
evhost=$1
module=$2
scenario=$3

: "${WINEPREFIX:?run the Windows tests with tests/windows/run.sh}"

# Wine reaches the Linux file system as drive Z:.
windows_path() { local path; path=$(realpath "$1"); printf 'Z:%s' "${path//\//\\}"; }

# "LETTER TYPE" for each drive of the scenario other than C:.
drives=$(python3 -c '
import json, sys
machine = json.load(open(sys.argv[1], encoding="utf-8")).get("machine", {})
for drive in machine.get("drives", []):
    root = drive["root"].rstrip("\\\\").upper()
    if root != "C:":
        print(root[0].lower(), drive.get("type", 3))
' "$scenario")

while read -r letter type; do
  [ -n "$letter" ] || continue
  case $type in
    2) kind=floppy ;;   # removable
    3) kind=hd ;;
    4) kind=network ;;
    5) kind=cdrom ;;
    *) echo "run-scenario: drive type $type of $letter: is not supported under Wine" >&2; exit 1 ;;
  esac
  folder=$(dirname "$WINEPREFIX")/drives/$letter
  mkdir -p "$folder"
  ln -sfn "$folder" "$WINEPREFIX/dosdevices/$letter:"
  wine reg add 'HKLM\Software\Wine\Drives' /v "${letter^^}:" /d "$kind" /f >/dev/null
done <<<"$drives"

exec "$here/wine.sh" "$evhost" --module "$(windows_path "$module")" --quiet "$(windows_path "$scenario")"
