#!/usr/bin/env bash
# CoreCtl end to end against the stand-in core service: for each situation,
# the exact bytes on standard output, nothing on standard error, and the exit
# status.
#
# Usage: corectl_outcomes.sh CORECTL CORE_SERVICE [RUNNER] (see corectl_checks.sh)
set -u

# shellcheck source=corectl_checks.sh
source "$(dirname "$0")/corectl_checks.sh"

usage="Usage: CoreCtl.exe [options]${eol}Allowed options:${eol}  --help                Show usage information${eol}  --reload-core         Reload AV core${eol}${eol}"
connection_failed="Reloading core: Rpc connection failed: "

check "no arguments: usage" none 0 "$usage"
check "a stray word: usage" none 0 "$usage" stray
check "help: usage" none 0 "$usage" --help
EXPECT_NO_REQUEST=1 check "help wins over reload-core, nothing sent" "" 0 "$usage" --help --reload-core
check "service answers true" "" 0 "Reloading core: OK${eol}" --reload-core
check "unique prefix --reload" "" 0 "Reloading core: OK${eol}" --reload
check "reply with sequence id 7" "--sequence-id 7" 0 "Reloading core: OK${eol}" --reload-core
check "service answers false" "--answer false" 255 "Reloading core: Failed${eol}" --reload-core
check "service raises OperationFailed" "--answer fail --number 3 --text refused" 255 \
  "Reloading core: Failed${eol}" --reload-core
check "service not running" none 255 \
  "${connection_failed}TWin32PipeClient open() failed: errno = 2${eol}Failed${eol}" --reload-core
check "all pipe instances busy" "--answer busy" 255 \
  "${connection_failed}TWin32PipeClient open() failed: errno = 231${eol}Failed${eol}" --reload-core
check "service closes before answering" "--answer close" 255 \
  "${connection_failed}TWin32PipeClient read() failed: errno = 109${eol}Failed${eol}" --reload-core
check "exception reply with a message" "--answer exception --type 6 --message core-locked" 255 \
  "${connection_failed}core-locked${eol}Failed${eol}" --reload-core
check "exception reply without a message" "--answer exception --type 1" 255 \
  "${connection_failed}TApplicationException: Unknown method${eol}Failed${eol}" --reload-core
check "reply without result" "--answer empty" 255 \
  "${connection_failed}ReloadCore failed: unknown result${eol}Failed${eol}" --reload-core
check "reply for another operation" "--answer name --name reloadcore" 255 \
  "${connection_failed}TApplicationException: Wrong method name${eol}Failed${eol}" --reload-core
check "reply of message type call" "--answer type --message-type 1" 255 \
  "${connection_failed}TApplicationException: Invalid message type${eol}Failed${eol}" --reload-core
check "undeclared option" none 255 \
  "unrecognised option '--bogus'${eol}Type --help to see usage information${eol}" --bogus
check "value given to an option" none 255 \
  "option '--help' does not take any arguments${eol}Type --help to see usage information${eol}" --help=yes
check "option given twice" none 255 \
  "option '--reload-core' cannot be specified more than once${eol}Type --help to see usage information${eol}" \
  --reload-core --reload-core

finish
