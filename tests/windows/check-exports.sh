#!/usr/bin/env bash
# Checks evrules.dll's export directory: module name "evrules.dll" and exactly
# the seven stdcall exports under their plain names with their fixed ordinals.
# Usage: check-exports.sh OBJDUMP DLL
set -euo pipefail
objdump=$1
dll=$2

expected="InitLibrary 7
NetConnectEvent 2
NetProtocolData 1
ProcessEvent 6
ProcessEventEx 4
RegEvent 5
RegEventEx 3"

dump=$("$objdump" -p "$dll")
status=0
name=$(printf '%s\n' "$dump" | sed -n 's/^Name[[:space:]]\+[0-9a-fA-F]\+[[:space:]]\+//p' | head -n1)
if [ "$name" = evrules.dll ]; then
  echo "ok: module name $name"
else
  echo "FAIL: module name '$name', want evrules.dll"
  status=1
fi
base=$(printf '%s\n' "$dump" | sed -n 's/^Ordinal Base[[:space:]]\+//p' | head -n1)
# "[Ordinal/Name Pointer] Table" lists "[index] name"; the ordinal is index + base.
actual=$(printf '%s\n' "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]\+\)\][[:space:]]\+\(.*\)$/\2 \1/p' |
  while read -r export index; do echo "$export $((index + base))"; done | LC_ALL=C sort)
if [ "$actual" = "$expected" ]; then
  echo "ok: exports and ordinals:"
  printf "%s\n" "$actual" | sed "s/^/  /"
else
  echo "FAIL: exports differ"
  diff <(echo "$expected") <(echo "$actual") | sed 's/^/  /' || true
  status=1
fi
exit $status
