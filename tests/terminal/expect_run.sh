#!/usr/bin/env bash
# expect_run.sh STATUS LINE... -- PROGRAM [ARGS...]
# Runs the program with its output not on a terminal and passes when it exits
# with STATUS and its last lines (standard output and error together) are
# the LINEs given.
set -uo pipefail
status=$1
shift
expected=()
while [ "$1" != "--" ]; do
  expected+=("$1")
  shift
done
shift

# Windows programs end their lines with CR LF.
output=$("$@" 2>&1 </dev/null | tr -d '\r')
got=${PIPESTATUS[0]}
printf '%s\n' "$output"
last=$(tail -n "${#expected[@]}" <<<"$output")
want=$(printf '%s\n' "${expected[@]}")
if [ "$got" -ne "$status" ] || [ "$last" != "$want" ]; then
  printf 'expected status %s and the last lines:\n%s\ngot status %s and:\n%s\n' \
    "$status" "$want" "$got" "$last" >&2
  exit 1
fi
