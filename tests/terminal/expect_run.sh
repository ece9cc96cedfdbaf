#!/usr/bin/env bash
# expect_run.sh STATUS LINE... -- PROGRAM [ARGS...]
# Runs the program with its output not on a terminal and passes when it exits
# with STATUS and its last lines (standard output and error together) are
# the LINEs given; a LINE that begins "glob:" is a pattern for its line.
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
mapfile -t last < <(tail -n "${#expected[@]}" <<<"$output")
matches=$([ "${#last[@]}" -eq "${#expected[@]}" ] && echo yes)
for i in "${!expected[@]}"; do
  want=${expected[$i]}
  if [[ $want == glob:* ]]; then
    # shellcheck disable=SC2053
    [[ ${last[$i]:-} == ${want#glob:} ]] || matches=
  else
    [ "${last[$i]:-}" = "$want" ] || matches=
  fi
done
if [ "$got" -ne "$status" ] || [ -z "$matches" ]; then
  printf 'expected status %s and the last lines:\n%s\ngot status %s and:\n%s\n' \
    "$status" "$(printf '%s\n' "${expected[@]}")" "$got" "$(printf '%s\n' "${last[@]}")" >&2
  exit 1
fi
