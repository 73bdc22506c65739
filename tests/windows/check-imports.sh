#!/usr/bin/env bash
# Checks that a Windows binary imports only DLLs that every Windows has, so
# that it runs without shipping the GCC, C++ or thread runtime beside it.
# Usage: check-imports.sh OBJDUMP BINARY
set -euo pipefail
objdump=$1
binary=$2

allowed='^(kernel32|msvcrt|ws2_32|user32|advapi32|userenv|shell32|ole32|oleaut32|shlwapi|version|psapi|ntdll)\.dll$'

mapfile -t imports < <("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p')
if ((${#imports[@]} == 0)); then
  echo "FAIL: $binary: no import table found"
  exit 1
fi
status=0
for dll in "${imports[@]}"; do
  lower=$(printf '%s' "$dll" | tr '[:upper:]' '[:lower:]')
  if [[ $lower =~ $allowed ]]; then
    echo "ok: $(basename "$binary") imports $dll"
  else
    echo "FAIL: $(basename "$binary") imports $dll, which is not a Windows system DLL"
    status=1
  fi
done
exit $status
