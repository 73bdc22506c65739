#!/usr/bin/env bash
# Makes, in the run's Wine prefix, the drives other than C: that the scenario
# files list: a folder beside the prefix, linked as the drive letter, with its
# type in Wine's drive table. Wine's mount manager reads that table only when
# it starts, so run this before Wine's services are (re)started.
# Two scenarios that give one letter different types are refused.
# Usage: make-drives.sh SCENARIO_JSON...
set -euo pipefail

: "${WINEPREFIX:?run the Windows tests with tests/windows/run.sh}"
: "${WINE64:?run the Windows tests with tests/windows/run.sh}"

# "LETTER TYPE" for each drive other than C:, once per letter.
drives=$(python3 -c '
import json, sys
types = {}
for path in sys.argv[1:]:
    machine = json.load(open(path, encoding="utf-8")).get("machine", {})
    for drive in machine.get("drives", []):
        root = drive["root"].rstrip("\\\\").upper()
        if root == "C:":
            continue
        kind = drive.get("type", 3)
        if types.setdefault(root[0], (kind, path))[0] != kind:
            sys.exit(f"make-drives: drive {root} is type {kind} in {path} but type {types[root[0]][0]} in {types[root[0]][1]}")
for letter, (kind, _) in sorted(types.items()):
    print(letter.lower(), kind)
' "$@")

while read -r letter type; do
  [ -n "$letter" ] || continue
  case $type in
    2) kind=floppy ;;   # removable
    3) kind=hd ;;
    4) kind=network ;;
    5) kind=cdrom ;;
    *) echo "make-drives: drive type $type of ${letter^^}: is not supported under Wine" >&2; exit 1 ;;
  esac
  folder=$(dirname "$WINEPREFIX")/drives/$letter
  mkdir -p "$folder"
  ln -sfn "$folder" "$WINEPREFIX/dosdevices/$letter:"
  "$(dirname "$0")/wine-exec.sh" "$WINE64" reg add 'HKLM\Software\Wine\Drives' /v "${letter^^}:" /d "$kind" /f >/dev/null
  echo "Drive ${letter^^}: ($kind) is $folder"
done <<<"$drives"
