#!/usr/bin/env bash
# Cross-builds for 32-bit Windows the parts of Apache Thrift and
# Boost.Program_options that CoreCtl and the stand-in core service link.
# MinGW has no packages of them, so they are compiled from Debian's own
# source packages, of the same versions as the installed Linux headers.
# Nothing is kept in the repository: the result is cached under
#   ${XDG_CACHE_HOME:-$HOME/.cache}/tevrin/windows-deps/<versions>
# and a second run with the same versions does nothing.
#
# Prints the directory of the result on its last line of standard output:
#   include/        Thrift's headers and the thrift/config.h of this target
#   boost-include/  only a link to Debian's Boost headers, so that no other
#                   Linux header reaches the cross build
#   lib/            libthrift.a, libboost_program_options.a
#
# Needs scripts/install-windows-deps.sh to have run (deb-src entries,
# cross compiler, dpkg-dev).
# Usage: scripts/build-windows-deps.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/usage.sh"
no_arguments "$@"

root=$(cd "$(dirname "$0")/.." && pwd)
toolchain=$root/cmake/toolchain-i686-w64-mingw32.cmake
cxx=i686-w64-mingw32-g++-posix
ar=i686-w64-mingw32-ar
jobs=${TEVRIN_JOBS:-2}

die() { echo "build-windows-deps: $*" >&2; exit 1; }

command -v "$cxx" >/dev/null || die "$cxx not found; run scripts/install-windows-deps.sh"
command -v dpkg-source >/dev/null || die "dpkg-source not found; run scripts/install-windows-deps.sh"
[ -d /usr/include/boost ] || die "/usr/include/boost missing; run scripts/install-windows-deps.sh"

# Source version of an installed package (binary rebuilds add "+bN").
installed_version() { dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null || true; }
# The sources must match the headers that the rest of the build sees.
thrift_version=$(installed_version libthrift-dev)
boost_version=$(installed_version libboost1.74-dev)
[ -n "$thrift_version" ] || die "libthrift-dev is not installed; run scripts/install-deps.sh"
[ -n "$boost_version" ] || die "libboost1.74-dev is not installed; run scripts/install-deps.sh"
compiler_version=$(dpkg-query -W -f='${Version}' g++-mingw-w64-i686-posix 2>/dev/null || true)
[ -n "$compiler_version" ] || die "g++-mingw-w64-i686-posix is not installed; run scripts/install-windows-deps.sh"
# A change of this recipe must not reuse an old result.
recipe=$(sha256sum "$0" | cut -c1-12)

cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/tevrin/windows-deps
prefix=$cache_root/thrift-${thrift_version}_boost-${boost_version}_gcc-${compiler_version}_${recipe}
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

echo "Building Thrift $thrift_version and Boost.Program_options $boost_version for i686-w64-mingw32 in $prefix" >&2
mkdir -p "$cache_root"
work=$(mktemp -d "$cache_root/work.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
staging=$work/out
mkdir -p "$staging/include" "$staging/boost-include" "$staging/lib" "$work/src"

cd "$work/src"
if ! apt-get source -qq --download-only "thrift=$thrift_version" "boost1.74=$boost_version" >&2; then
  die "apt-get source failed; source entries may be off (run scripts/install-windows-deps.sh)"
fi
dpkg-source -x thrift_*.dsc thrift >/dev/null
dpkg-source -x boost1.74_*.dsc boost >/dev/null

ln -s /usr/include/boost "$staging/boost-include/boost"

# Thrift: its own CMake, configure only, writes the config.h of this target.
thrift_src=$work/src/thrift
cmake -S "$thrift_src" -B "$work/thrift-config" -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DBUILD_COMPILER=OFF -DBUILD_LIBRARIES=OFF -DBUILD_TESTING=OFF -DBUILD_TUTORIALS=OFF \
  -DWITH_CPP=OFF -DWITH_C_GLIB=OFF -DWITH_JAVA=OFF -DWITH_JAVASCRIPT=OFF -DWITH_NODEJS=OFF \
  -DWITH_PYTHON=OFF -DWITH_AS3=OFF -DWITH_OPENSSL=OFF -DWITH_ZLIB=OFF -DWITH_LIBEVENT=OFF \
  -DWITH_QT5=OFF >"$work/thrift-config.log" 2>&1 ||
  { cat "$work/thrift-config.log" >&2; die "Thrift's configure step failed"; }
[ -f "$work/thrift-config/thrift/config.h" ] || die "Thrift's configure step wrote no thrift/config.h"

# Thrift's headers as they come, plus the generated config.h.
(cd "$thrift_src/lib/cpp/src" && find thrift \( -name '*.h' -o -name '*.tcc' \) -print0 |
  xargs -0 cp --parents -t "$staging/include")
cp "$work/thrift-config/thrift/config.h" "$staging/include/thrift/config.h"

# Compiles FILES of SRCDIR into ARCHIVE, `jobs` at a time.
compile() { # OBJDIR SRCDIR FILE FLAGS...
  local objdir=$1 srcdir=$2 file=$3
  shift 3
  "$cxx" "$@" -c "$srcdir/$file" -o "$objdir/$(echo "$file" | tr / _).o" ||
    die "compiling $file failed"
}
build_archive() { # ARCHIVE SRCDIR "FLAGS" FILES...
  local archive=$1 srcdir=$2 flags=$3
  shift 3
  local objdir=$work/obj/$(basename "$archive" .a)
  mkdir -p "$objdir"
  local pids=() file
  for file in "$@"; do
    # shellcheck disable=SC2086
    compile "$objdir" "$srcdir" "$file" $flags &
    pids+=($!)
    if ((${#pids[@]} >= jobs)); then wait "${pids[0]}" || die "build of $(basename "$archive") failed"; pids=("${pids[@]:1}"); fi
  done
  for pid in "${pids[@]}"; do wait "$pid" || die "build of $(basename "$archive") failed"; done
  "$ar" rcs "$archive" "$objdir"/*.o
}

# BOOST_BIND_GLOBAL_PLACEHOLDERS only quiets a deprecation notice of Boost 1.74.
common_flags="-std=c++17 -O2 -DNDEBUG -DBOOST_BIND_GLOBAL_PLACEHOLDERS -isystem $staging/boost-include"

# CoreCtl needs the first six; the stand-in service's generated server code
# also uses the concurrent client's bookkeeping (the last three).
build_archive "$staging/lib/libthrift.a" "$thrift_src/lib/cpp/src/thrift" \
  "$common_flags -I$staging/include" \
  TApplicationException.cpp TOutput.cpp transport/TTransportException.cpp \
  transport/TBufferTransports.cpp protocol/TProtocol.cpp windows/GetTimeOfDay.cpp \
  async/TConcurrentClientSyncInfo.cpp concurrency/Mutex.cpp concurrency/Monitor.cpp

# Auto-linking is an MSVC feature; MinGW links by name.
build_archive "$staging/lib/libboost_program_options.a" "$work/src/boost/libs/program_options/src" \
  "$common_flags -DBOOST_ALL_NO_LIB" \
  cmdline.cpp config_file.cpp convert.cpp options_description.cpp parsers.cpp positional_options.cpp \
  split.cpp utf8_codecvt_facet.cpp value_semantic.cpp variables_map.cpp winmain.cpp

touch "$staging/.complete"
mv "$staging" "$prefix"
echo "$prefix"
