#!/usr/bin/env bash
# Makes a private Debian root with Wine (64-bit and 32-bit parts) for the
# Windows tests, for machines where Wine's 32-bit part cannot be installed:
# wine32:i386 needs the i386 twins of the machine's libraries at exactly the
# installed versions, and on a bad mirror day (the security suite's i386 index
# out of sync) apt knows none of them. The root is a plain Debian 12 from the
# release and updates suites, consistent for both architectures, and changes
# nothing on the machine itself. It runs only the project's own test programs.
#
# The root is made once and kept under
#   ${XDG_CACHE_HOME:-$HOME/.cache}/tevrin/wine-root
# (TEVRIN_WINE_ROOT overrides that); it is built beside that folder and moved
# into place when complete, so an interrupted run leaves nothing half made.
# Prints the root's path as its last line. Needs root (debootstrap, chroot).
# Usage: scripts/make-wine-root.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/usage.sh"
no_arguments "$@"

say() { echo "make-wine-root: $*" >&2; }

root=${TEVRIN_WINE_ROOT:-${XDG_CACHE_HOME:-$HOME/.cache}/tevrin/wine-root}
packages="wine wine64 wine32:i386 wine32-preloader:i386"
ready=$root/.tevrin-wine-root

if [ -f "$ready" ] && [ "$(cat "$ready")" = "$packages" ]; then
  echo "$root"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  say "a private Wine root needs root (debootstrap and chroot); run this as root"
  exit 1
fi

"$(dirname "$0")/apt-install.sh" debootstrap

# The machine's own Debian mirror, so that the root comes from where apt
# already fetches.
mirror=$(grep -rhoE 'https?://[^ ]+/debian/?( |$)' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null |
  head -n 1 | tr -d ' ' || true)
mirror=${mirror:-http://deb.debian.org/debian}

mkdir -p "$(dirname "$root")"
work=$(mktemp -d "$root.new.XXXXXX")
chmod 755 "$work"
trap 'rm -rf --one-file-system "$work"' EXIT
say "making a private Debian root with Wine in $root (from $mirror; a few minutes, once)"
debootstrap --variant=minbase bookworm "$work" "$mirror" >"$work.log" 2>&1 || {
  say "debootstrap failed; its last lines:"
  tail -n 5 "$work.log" | sed 's/^/    /' >&2
  rm -f "$work.log"
  exit 1
}
rm -f "$work.log"
echo "deb $mirror bookworm-updates main" >>"$work/etc/apt/sources.list"

# apt in the root, with /proc mounted in a mount namespace of its own, so that
# nothing stays mounted when it ends.
unshare -m --propagation private sh -euc '
  mount -t proc proc "$1/proc"
  chroot "$1" dpkg --add-architecture i386
  chroot "$1" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive chroot "$1" apt-get install -y -qq --no-install-recommends $2 >"$1/install.log" 2>&1 || {
    tail -n 5 "$1/install.log" >&2
    exit 1
  }
  chroot "$1" apt-get clean
' sh "$work" "$packages" || {
  say "installing Wine in the root failed (apt's last lines are above)"
  exit 1
}
rm -f "$work/install.log"
echo "$packages" >"$work/.tevrin-wine-root"

rm -rf --one-file-system "$root"
mv "$work" "$root"
trap - EXIT
echo "$root"
