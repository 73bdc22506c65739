#!/usr/bin/env bash
# Every script says how to call it with --help (status 0, its usage on
# standard output, nothing done), and a wrong argument ends it with status 2
# and the usage line before anything is done.
#   scripts_help.sh SCRIPTS_DIR
set -uo pipefail
scripts=$1
failures=0
for script in "$scripts"/*.sh; do
  name=$(basename "$script")
  [ "$name" = usage.sh ] && continue
  for flag in --help -h; do
    out=$(timeout 10 bash "$script" "$flag" 2>/tmp/scripts-help-err.$$)
    status=$?
    if [ "$status" -eq 0 ] && grep -q "^Usage: .*$name" <<<"$out" && [ ! -s /tmp/scripts-help-err.$$ ]; then
      echo "ok: $name $flag"
    else
      echo "FAIL: $name $flag: status $status, $(head -c 200 /tmp/scripts-help-err.$$) $(head -n 2 <<<"$out")"
      failures=$((failures + 1))
    fi
  done
done
rm -f /tmp/scripts-help-err.$$
# expect_usage_error SCRIPT ARGS...: status 2 and the usage line on standard error.
expect_usage_error() {
  local script=$1
  shift
  err=$(timeout 10 bash "$scripts/$script" "$@" 2>&1 >/dev/null)
  status=$?
  if [ "$status" -eq 2 ] && grep -q "^Usage: .*$script" <<<"$err"; then
    echo "ok: $script $*: status 2 with its usage"
  else
    echo "FAIL: $script $*: status $status, $err"
    failures=$((failures + 1))
  fi
}
expect_usage_error run-tests.sh everything
expect_usage_error run-main.sh --fast
expect_usage_error reload-and-replay.sh /nonexistent/build
echo "$failures failed"
[ "$failures" -eq 0 ]
