#!/usr/bin/env bash
# Installs the Debian packages among its arguments that are not installed
# yet, in a way that survives a bad mirror day:
#   - `apt-get update` runs only when something is missing or --update asks
#     for it (never with --no-update: the caller has just run it), and is
#     tried three times with growing pauses;
#   - when it still fails, the packages may resolve from the indexes apt
#     already has; then the failure is a warning and the install goes on;
#   - when they do not, nothing is installed (never a downgrade), and a few
#     plain lines say what failed, why, and what to run later.
# Usage: apt-install.sh [--update | --no-update] [--retry COMMAND] PACKAGE...
#   --retry COMMAND   what the user runs again later (default: this script)
# Exits 0 when every package is installed, 1 when one cannot be.
# TEVRIN_APT_PAUSES: the pauses between tries in seconds (default "10 30").
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/usage.sh"

update=0
no_update=0
retry="$0"
while (($#)); do
  case $1 in
    --update) update=1; shift ;;
    --no-update) no_update=1; shift ;;
    --retry) retry=$2; shift 2 ;;
    *) break ;;
  esac
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
as_root() { "${sudo_cmd[@]}" "$@"; }
say() { echo "apt-install: $*" >&2; }

missing=()
for p in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
((update || ${#missing[@]})) || exit 0

# The indexes, tried three times. What apt said on the last try is kept for
# the explanation.
read -r -a pauses <<<"${TEVRIN_APT_PAUSES:-10 30}"
update_errors=
((no_update)) ||
for try in 1 2 3; do
  if update_output=$(as_root apt-get update -qq 2>&1); then
    update_errors=
    break
  fi
  update_errors=$(printf '%s\n' "$update_output" | grep -E '^(E|W|Err):' | head -n 4 || true)
  [ -n "$update_errors" ] || update_errors=$(printf '%s\n' "$update_output" | tail -n 2)
  if ((try < 3)); then
    pause=${pauses[try - 1]:-30}
    say "apt-get update failed (try $try of 3); trying again in $pause s"
    sleep "$pause"
  fi
done
if [ -n "$update_errors" ]; then
  say "warning: apt-get update failed 3 times; apt goes on with the indexes it has:"
  printf '%s\n' "$update_errors" | sed 's/^/    /' >&2
fi
((${#missing[@]})) || exit 0

# Whether the missing packages resolve from the indexes apt has now.
if resolve_output=$(as_root apt-get install -s -qq --no-install-recommends "${missing[@]}" 2>&1); then
  [ -z "$update_errors" ] || say "the packages needed still resolve; going on"
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}"
  exit 0
fi

# They do not: explain, change nothing.
unmet=$(printf '%s\n' "$resolve_output" | grep -E '^ +[^ ]+ : ' | head -n 4 || true)
i386=()
for p in "${missing[@]}"; do [[ $p == *:i386 ]] && i386+=("$p"); done
{
  echo
  echo "Cannot install: ${missing[*]}"
  if ((${#i386[@]})); then
    echo "  These 32-bit (i386) packages need the i386 twins of libraries installed"
    echo "  here, at exactly the installed versions, and apt does not know those yet."
  fi
  if [ -n "$update_errors" ]; then
    echo "  apt-get update failed: the mirror is probably out of sync (a sync in"
    echo "  progress), so apt lacks its newest indexes, e.g. of security updates."
  fi
  if [ -n "$unmet" ]; then
    echo "  apt says:"
    printf '%s\n' "$unmet" | sed 's/^ */    /'
  fi
  echo "  Nothing was installed and nothing was downgraded."
  if [ -n "$update_errors" ] || ((${#i386[@]})); then
    echo "  Once the mirror has synced (usually within hours), run again: $retry"
  else
    echo "  Once apt can resolve them, run again: $retry"
  fi
} >&2
exit 1
