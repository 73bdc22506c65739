#!/usr/bin/env bash
# Replays one scenario file through evhost.exe against evrules.dll under
# Wine, on the prefix's real drive C:. Drives other than C: that the scenario
# lists are made for the prefix first: a folder beside the prefix, linked as
# the drive letter, with its type in Wine's drive table.
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

changed=0
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
  if [ "$(readlink "$WINEPREFIX/dosdevices/$letter:" || true)" != "$folder" ]; then
    ln -sfn "$folder" "$WINEPREFIX/dosdevices/$letter:"
    changed=1
  fi
  if ! wine reg query 'HKLM\Software\Wine\Drives' /v "${letter^^}:" 2>/dev/null | tr -d '\r' | grep -q "REG_SZ[[:space:]]*$kind\$"; then
    wine reg add 'HKLM\Software\Wine\Drives' /v "${letter^^}:" /d "$kind" /f >/dev/null
    changed=1
  fi
done <<<"$drives"
if ((changed)); then
  # Wine's mount manager reads the drive table when it starts.
  wineserver -k || true
  wineserver -p
  "$here/wine.sh" cmd /c exit >/dev/null 2>&1 || true
fi

exec "$here/wine.sh" "$evhost" --module "$(windows_path "$module")" --quiet "$(windows_path "$scenario")"
