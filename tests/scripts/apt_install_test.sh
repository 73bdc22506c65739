#!/usr/bin/env bash
# scripts/apt-install.sh on a bad mirror day, with stand-ins for apt-get,
# dpkg-query and sudo first on PATH (nothing on the machine is touched).
set -u
script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/apt-install.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

# apt-get: logs each call; `update` fails the first $UPDATE_FAILURES times
# as a mirror in sync does; a simulated or real install succeeds unless
# RESOLVES=no.
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STUB_LOG"
case $1 in
  update)
    tries=$(grep -c '^apt-get update' "$STUB_LOG")
    if ((tries <= UPDATE_FAILURES)); then
      echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (61808 != 61824). Mirror sync in progress? [IP: 192.0.2.1 80]"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi ;;
  install)
    if [ "$RESOLVES" = no ]; then
      echo "Some packages could not be installed."
      echo "The following packages have unmet dependencies:"
      echo " libgcc-s1:i386 : Breaks: libgcc-s1 (!= 12.2.0-14) but 12.2.0-14+deb12u1 is to be installed"
      echo " libc6:i386 : Depends: libgcc-s1:i386 but it is not going to be installed"
      echo "E: Unable to correct problems, you have held broken packages."
      exit 100
    fi ;;
esac
exit 0
EOF
# dpkg-query: the packages in $INSTALLED are installed.
cat >"$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
package=${!#}
[[ " $INSTALLED " == *" $package "* ]] && printf 'install ok installed'
exit 0
EOF
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

failed=0
# run NAME: runs the script with the remaining arguments, output in $work/out.
run() {
  name=$1
  shift
  : >"$work/log"
  PATH="$work/bin:$PATH" STUB_LOG="$work/log" TEVRIN_APT_PAUSES="0.1 0.2" "$script" "$@" >"$work/out" 2>&1
  status=$?
}
# expect CONDITION-DESCRIPTION COMMAND...: one check of the current case.
expect() {
  local what=$1
  shift
  if ! "$@"; then
    echo "FAIL: $name: $what"
    sed 's/^/  | /' "$work/out"
    sed 's/^/  log: /' "$work/log"
    failed=$((failed + 1))
  fi
}
has() { grep -qF -- "$1" "$work/out"; }
calls() { [ "$(cat "$work/log")" = "$1" ]; }
finish_case() { echo "done: $name"; }

INSTALLED="cmake wine" UPDATE_FAILURES=9 RESOLVES=yes run "everything installed: apt is not asked" cmake wine
expect "status 0" [ "$status" -eq 0 ]
expect "no apt-get call" calls ""
expect "no output" [ ! -s "$work/out" ]
finish_case

INSTALLED="cmake" UPDATE_FAILURES=1 RESOLVES=yes run "update fails once, then works" cmake googletest
expect "status 0" [ "$status" -eq 0 ]
expect "a retry announced" has "apt-get update failed (try 1 of 3); trying again in 0.1 s"
expect "no warning" eval '! has warning'
expect "two updates, then the install" calls "apt-get update -qq
apt-get update -qq
apt-get install -s -qq --no-install-recommends googletest
apt-get install -y -qq --no-install-recommends googletest"
finish_case

INSTALLED="cmake" UPDATE_FAILURES=9 RESOLVES=yes run "update fails, the packages resolve: a warning" cmake googletest
expect "status 0" [ "$status" -eq 0 ]
expect "growing pauses" eval 'has "trying again in 0.1 s" && has "trying again in 0.2 s"'
expect "a warning with apt's reason" eval 'has "warning: apt-get update failed 3 times" && has "Mirror sync in progress?"'
expect "going on" has "the packages needed still resolve; going on"
expect "three updates, then the install" calls "apt-get update -qq
apt-get update -qq
apt-get update -qq
apt-get install -s -qq --no-install-recommends googletest
apt-get install -y -qq --no-install-recommends googletest"
finish_case

INSTALLED="wine" UPDATE_FAILURES=9 RESOLVES=no run "wine32 cannot be installed: plain lines" \
  --retry scripts/install-windows-deps.sh wine wine32:i386 wine32-preloader:i386
expect "status 1" [ "$status" -eq 1 ]
expect "what failed" has "Cannot install: wine32:i386 wine32-preloader:i386"
expect "why: the i386 twins" has "need the i386 twins of libraries installed"
expect "why: the mirror" has "the mirror is probably out of sync"
expect "apt's own words" has "libgcc-s1:i386 : Breaks: libgcc-s1 (!= 12.2.0-14) but 12.2.0-14+deb12u1 is to be installed"
expect "nothing changed" has "Nothing was installed and nothing was downgraded."
expect "what to run later" has "run again: scripts/install-windows-deps.sh"
expect "no real install" eval '! grep -q "install -y" "$work/log"'
expect "a few lines" [ "$(wc -l <"$work/out")" -le 16 ]
finish_case

INSTALLED="cmake" UPDATE_FAILURES=0 RESOLVES=yes run "--update with nothing missing refreshes only" --update cmake
expect "status 0" [ "$status" -eq 0 ]
expect "one update" calls "apt-get update -qq"
finish_case

INSTALLED="cmake" UPDATE_FAILURES=0 RESOLVES=yes run "--no-update: the indexes apt has" --no-update cmake googletest
expect "status 0" [ "$status" -eq 0 ]
expect "no update, the install" calls "apt-get install -s -qq --no-install-recommends googletest
apt-get install -y -qq --no-install-recommends googletest"
finish_case

echo "$failed failed"
exit $((failed > 0))
