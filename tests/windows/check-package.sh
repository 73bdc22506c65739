#!/usr/bin/env bash
# Checks the release package that make-package.sh made in OUT_DIR: its name,
# exactly the files it holds, stripped binaries, and import libraries that
# define the decorated stdcall names callers reference (_InitLibrary@4) with
# their __imp__ pointers, as MinGW's and Microsoft's linkers look them up.
# Usage: check-package.sh OUT_DIR VERSION OBJDUMP NM
set -uo pipefail
out=$1
version=$2
objdump=$3
nm=$4
name=tevrin-$version-win32
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

zips=$(cd "$out" && ls -- *.zip 2>/dev/null)
[ "$zips" = "$name.zip" ] && echo "ok: package $name.zip" || fail "packages made: '$zips', want $name.zip"

want="\
$name/CoreCall.exe
$name/CoreCtl.exe
$name/README.txt
$name/evrules.def
$name/evrules.dll
$name/evrules.h
$name/evrules.lib
$name/libevrules.dll.a"
got=$(cmake -E tar tf "$out/$name.zip" | LC_ALL=C sort)
if [ "$got" = "$want" ]; then
  echo "ok: the zip holds exactly:"
  printf '%s\n' "$got" | sed 's/^/  /'
else
  fail "the zip's files differ:"
  diff <(echo "$want") <(echo "$got") | sed 's/^/  /'
fi

dir=$out/unpacked/$name
for binary in CoreCall.exe CoreCtl.exe evrules.dll; do
  [ -f "$dir/$binary" ] || { fail "$binary missing"; continue; }
  debug=$("$objdump" -h "$dir/$binary" | grep -c '\.debug' || true)
  symbols=$("$nm" "$dir/$binary" 2>&1 | grep -vc 'no symbols' || true)
  if ((debug == 0 && symbols == 0)); then
    echo "ok: $binary stripped, $(stat -c %s "$dir/$binary") bytes"
  else
    fail "$binary keeps $debug debug sections and $symbols symbols"
  fi
done

exports="InitLibrary@4 RegEvent@16 RegEventEx@36 ProcessEvent@24 ProcessEventEx@44 NetConnectEvent@32 NetProtocolData@28"
for library in libevrules.dll.a evrules.lib; do
  defined=$("$nm" "$dir/$library" 2>/dev/null | awk '$2 == "T" || $2 == "I" {print $3}')
  missing=()
  for export in $exports; do
    for symbol in "_$export" "__imp__$export"; do
      grep -qxF -- "$symbol" <<<"$defined" || missing+=("$symbol")
    done
  done
  if ((${#missing[@]} == 0)); then
    echo "ok: $library defines _Name@bytes and __imp__Name@bytes of the seven exports"
  else
    fail "$library lacks ${missing[*]}"
  fi
done
exit $status
