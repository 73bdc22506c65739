# Sourced by the evreplay benchmarks: the release build's programs, each
# checked to be there. Sets root, build, replay, module, generate, convert.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${EVREPLAY_BUILD_DIR:-$root/build/release}"
replay="$build/tools/evreplay/evreplay"
module="$build/evrules/libevrules.so"
generate="$build/bench/evreplay/sysmon_loggen"
convert="$build/tools/evtx/jsonl_to_evtx"
for needed in "$replay" "$module" "$generate" "$convert"; do
  [ -e "$needed" ] || { echo "bench: $needed is missing; build it first: cmake --workflow --preset release" >&2; exit 2; }
done
