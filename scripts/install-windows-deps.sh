#!/usr/bin/env bash
# Installs what the Windows build and its Wine tests need on a Debian 12
# machine: the MinGW-w64 cross compiler, Wine with its 32-bit part (i386
# multiarch), GoogleTest's sources, and the source-package entries that
# scripts/build-windows-deps.sh uses to fetch Thrift and Boost. Where Wine's
# 32-bit part cannot be installed (a bad mirror day), Wine goes into a private
# Debian root instead (scripts/make-wine-root.sh), and the tests run it there.
# Idempotent: every step checks first and does nothing when already done.
# Usage: scripts/install-windows-deps.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/usage.sh"
no_arguments "$@"

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
as_root() { "${sudo_cmd[@]}" "$@"; }

need_update=0

# wine32 is an i386 package; the machine has to accept that architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture (for wine32)"
  as_root dpkg --add-architecture i386
  need_update=1
fi

# `apt-get source` needs deb-src entries. Debian 12 keeps them in deb822 form;
# older machines in sources.list.
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  if grep -qE '^Types:[[:space:]]*deb[[:space:]]*$' /etc/apt/sources.list.d/debian.sources; then
    echo "Enabling source entries in /etc/apt/sources.list.d/debian.sources"
    as_root sed -i -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
    need_update=1
  fi
elif [ -f /etc/apt/sources.list ] && ! grep -qE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list; then
  echo "Enabling source entries in /etc/apt/sources.list"
  grep -E '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list | sed -E 's/^([[:space:]]*)deb([[:space:]])/\1deb-src\2/' |
    as_root tee -a /etc/apt/sources.list >/dev/null
  need_update=1
fi
if ! grep -rqsE '^(Types:.*deb-src|[[:space:]]*deb-src[[:space:]])' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  echo "install-windows-deps: no deb-src entry could be enabled; apt-get source will fail" >&2
  exit 1
fi

packages=(
  cmake ninja-build
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  qemu-user-static        # runs i386 Linux programs where the kernel cannot
  dpkg-dev            # unpacks source packages for apt-get source
  googletest          # GoogleTest's sources, cross-built with the project
  libboost-dev        # Boost headers, shared with the cross build
)
wine_packages=(
  wine wine64 wine32:i386
  wine32-preloader:i386   # without it Wine's start-up under qemu takes a minute
)

# Source indexes are needed even when every package is present; a failed
# refresh leaves that to scripts/build-windows-deps.sh, which needs them only
# while its cache is empty.
source_index() { [ -n "$(apt-cache showsrc thrift 2>/dev/null)" ]; }
# A missing Wine package wants fresh indexes too; they are fetched once, with
# the first packages.
for p in "${wine_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need_update=1
done
update=()
if ((need_update)) || ! source_index; then
  update=(--update)
fi
"$(dirname "$0")/apt-install.sh" "${update[@]}" --retry "$0" "${packages[@]}" || {
  echo "install-windows-deps: without them the Windows binaries cannot be built or tested here." >&2
  exit 1
}
# Wine on the machine itself, or else in a private Debian root that
# tests/windows/run.sh runs it from (scripts/make-wine-root.sh says why).
wine_root=
if ! "$(dirname "$0")/apt-install.sh" --no-update --retry "$0" "${wine_packages[@]}"; then
  echo "install-windows-deps: Wine goes into a private Debian root instead, which leaves this machine's packages as they are." >&2
  wine_root=$("$(dirname "$0")/make-wine-root.sh" | tail -n 1) || {
    echo "install-windows-deps: without Wine the Windows binaries cannot be tested here." >&2
    exit 1
  }
fi
if ! source_index; then
  echo "install-windows-deps: warning: apt has no source index of thrift yet; scripts/build-windows-deps.sh" \
       "fails unless its cache under ~/.cache/tevrin is filled" >&2
fi

# Wine for 32-bit Windows programs is itself a 32-bit Linux program. Kernels
# booted with ia32_emulation=off cannot run those ("Exec format error"); there
# qemu's user-mode emulator runs them instead, registered with binfmt_misc.
# The registration lasts until reboot, so this is checked on every run.
in_root=()
[ -z "$wine_root" ] || in_root=(chroot "$wine_root")
if ! "${in_root[@]}" /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  binfmt=/proc/sys/fs/binfmt_misc
  if [ ! -e "$binfmt/register" ]; then
    as_root mount -t binfmt_misc binfmt_misc "$binfmt" ||
      { echo "install-windows-deps: cannot mount binfmt_misc; i386 programs (Wine) cannot run here" >&2; exit 1; }
  fi
  if [ -e "$binfmt/qemu-i386" ]; then
    echo 1 | as_root tee "$binfmt/qemu-i386" >/dev/null
  else
    echo "Registering qemu-i386 for i386 programs (this kernel does not run them)"
    # ELF, 32-bit, little endian, executable or shared object, machine i386.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
      as_root tee "$binfmt/register" >/dev/null
  fi
  "${in_root[@]}" /lib/ld-linux.so.2 --version >/dev/null 2>&1 ||
    { echo "install-windows-deps: i386 programs still do not run; Wine cannot work here" >&2; exit 1; }
fi
