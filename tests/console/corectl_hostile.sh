#!/usr/bin/env bash
# CoreCtl against a hostile core service: whatever answers on the pipe gets
# one clean diagnostic line, in small memory and without delay; a service that
# never answers is waited for without spending CPU; the service's text is
# printed escaped and cut.
#
# Usage: corectl_hostile.sh CORECTL CORE_SERVICE [RUNNER] (see corectl_checks.sh)
#   Under a runner (Wine) only the memory and text cases run.
set -u

# shellcheck source=corectl_checks.sh
source "$(dirname "$0")/corectl_checks.sh"

connection_failed="Reloading core: Rpc connection failed: "
then_failed="${eol}Failed${eol}"
too_big="Reply announces a string of 2147483647 bytes; a message holds at most 104857600"

# Memory: announcements of two gigabytes end the call at once.
export MAX_SECONDS=10
MAX_RSS_KB=${ANNOUNCED_RSS_KB:-65536} check "announced 2 GiB name" "--answer huge-name" 255 \
  "${connection_failed}${too_big}${then_failed}" --reload-core
MAX_RSS_KB=${ANNOUNCED_RSS_KB:-65536} check "announced 2 GiB text" "--answer huge-text" 255 \
  "${connection_failed}${too_big}${then_failed}" --reload-core

# Text: control characters are shown, long messages cut; a message that
# really arrives may take a small multiple of its size.
printf '\r\e[2KReloading core: OK\n\e[8m' >"$work/spoof"
check "control characters in a message" "--answer exception --type 6 --message-file $work/spoof" 255 \
  "${connection_failed}\\x0D\\x1B[2KReloading core: OK\\x0A\\x1B[8m${then_failed}" --reload-core
# (Wine under an emulator leaves a 32-bit program some 60 MB of address
# space, so the Windows run passes a smaller size.)
long_message=${LONG_MESSAGE_BYTES:-16777216}
MAX_RSS_KB=262144 check "$((long_message >> 20)) MB message" \
  "--answer exception --type 6 --message x --message-bytes $long_message" 255 \
  "${connection_failed}$(printf 'x%.0s' $(seq 1024))...${then_failed}" --reload-core

[ -n "$runner" ] && { finish; exit; }

check "reply dripped one byte at a time" "--answer raw-true --drip 5" 0 "Reloading core: OK${eol}" --reload-core
# The whole ReloadCore reply is 27 bytes; every shorter cut fails cleanly.
for cut in $(seq 0 26); do
  check "reply cut after $cut bytes" "--answer raw-true --cut $cut" 255 \
    "${connection_failed}TWin32PipeClient read() failed: errno = 109${then_failed}" --reload-core
done
check "reply cut after all 27 bytes" "--answer raw-true --cut 27" 0 "Reloading core: OK${eol}" --reload-core
unset MAX_SECONDS

# A service that never reads: CoreCtl waits as long as it takes, its line on
# the screen, asleep in the kernel; Ctrl-C ends it at once. What it spends is
# measured between its first and third second, after its start-up.
# cpu_and_wakeups PID: CPU ticks (user + system) and voluntary wake-ups.
cpu_and_wakeups() {
  local stat
  read -r -a stat <"/proc/$1/stat"
  echo "$((stat[13] + stat[14])) $(awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$1/status")"
}
start_service --answer silent || problems+=("service did not start")
# A background job of a script ignores Ctrl-C unless told otherwise.
env --default-signal=INT "$corectl" --reload-core >"$work/stdout" 2>"$work/stderr" &
corectl_pid=$!
sleep 1
if kill -0 "$corectl_pid" 2>/dev/null; then
  read -r ticks_before wakeups_before < <(cpu_and_wakeups "$corectl_pid")
  sleep 2
  read -r ticks_after wakeups_after < <(cpu_and_wakeups "$corectl_pid")
  cpu_ticks=$((ticks_after - ticks_before))
  wakeups=$((wakeups_after - wakeups_before))
  detail="in 2 s of waiting: $cpu_ticks CPU ticks, $wakeups wake-ups"
  ((cpu_ticks <= 1)) || problems+=("$cpu_ticks CPU ticks spent while waiting")
  ((wakeups < 10)) || problems+=("woke up $wakeups times while waiting")
  [ "$(cat "$work/stdout")" = "Reloading core: " ] || problems+=("stdout while waiting: $(od -c "$work/stdout")")
  kill -INT "$corectl_pid"
  for _ in $(seq 20); do kill -0 "$corectl_pid" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$corectl_pid" 2>/dev/null && problems+=("Ctrl-C did not end it within a second")
else
  problems+=("CoreCtl did not wait: $(cat "$work/stdout")")
fi
kill -KILL "$corectl_pid" 2>/dev/null
wait "$corectl_pid" 2>/dev/null
stop_service
conclude "service that never reads"

finish
