#!/usr/bin/env bash
# The README's quick start, its lines run as they stand (build/dev being the
# build under test): CoreCtl reloads the core of the stand-in service,
# CoreCall answers, evreplay writes its table and its report.
#   readme_quick_start.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source=$1 build=$2
work=$(mktemp -d)
trap 'kill %1 2>/dev/null; rm -rf "$work"' EXIT
# The lines of the block after "## Quick start".
awk '/^## Quick start/ { on = 1; next } on && /^## / { exit } on && /^    / { sub(/^    /, ""); print }' \
  "$source/README.md" >"$work/commands.sh"
if [ "$(grep -c . "$work/commands.sh")" -lt 5 ]; then
  echo "FAIL: no quick start found in README.md"
  exit 1
fi
mkdir "$work/top" "$work/top/build"
ln -s "$build" "$work/top/build/dev"
ln -s "$source/docs" "$work/top/docs"
(cd "$work/top" && bash -e "$work/commands.sh") >"$work/out" 2>"$work/err"
status=$?
failures=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
check "every line worked" '[ "$status" -eq 0 ]'
check "CoreCtl reloaded the core" 'grep -qxF "Reloading core: OK" "$work/out"'
check "CoreCall listed and answered" 'grep -q "^ 1 QueryInformation" "$work/out" && grep -q "\"text3\": \"text\"" "$work/out"'
check "the table of nine detections" '[ "$(grep -c "  HIPS:" "$work/out")" -eq 9 ]'
check "the report" '[ -s "$work/top/report.html" ] && grep -q "<svg id=\"chart\"" "$work/top/report.html"'
if [ "$failures" -ne 0 ]; then
  echo "--- commands"; cat "$work/commands.sh"; echo "--- output"; tail -n 20 "$work/out"; echo "--- errors"; tail -n 20 "$work/err"
fi
echo "$failures failed"
[ "$failures" -eq 0 ]
