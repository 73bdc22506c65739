#!/usr/bin/env bash
# The same logs as plain files, on standard input, and packed as .gz, .zip
# and .tar.gz must give the same output.
#   check_archives.sh EVREPLAY MODULE PACK_LOG LOG... [-- OPTION...]
set -euo pipefail
evreplay=$1 module=$2 pack=$3
shift 3
logs=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do logs+=("$1"); shift; done
[ $# -gt 0 ] && shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
replay() { "$evreplay" --module "$module" --sandbox "$work" "$@"; }

replay "$@" "${logs[@]}" >"$work/plain.out" 2>/dev/null
if [ ! -s "$work/plain.out" ]; then
  echo "the plain logs gave no output to compare"
  exit 1
fi
cat "${logs[@]}" >"$work/all.jsonl"
replay "$@" - <"$work/all.jsonl" >"$work/stdin.out" 2>/dev/null
diff -u "$work/plain.out" "$work/stdin.out" || { echo "differs: standard input"; exit 1; }
"$pack" gz "$work/log.gz" "$work/all.jsonl"
for format in zip tar.gz; do "$pack" "$format" "$work/log.$format" "${logs[@]}"; done
for format in gz zip tar.gz; do
  replay "$@" "$work/log.$format" >"$work/$format.out" 2>"$work/$format.err"
  diff -u "$work/plain.out" "$work/$format.out" || { echo "differs: .$format"; exit 1; }
done
# Lines of a member are told by the archive's name and the member's.
member="log.zip:$(basename "${logs[-1]}"):1"
grep -q "$member" "$work/zip.err" || { echo "no $member in the summary:"; cat "$work/zip.err"; exit 1; }
echo "plain, standard input, .gz, .zip and .tar.gz agree ($(wc -l <"$work/plain.out") lines)"
