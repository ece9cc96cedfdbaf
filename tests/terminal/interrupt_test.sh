#!/usr/bin/env bash
# interrupt_test.sh CORVANE_FLASH SIGNAL STATUS
# Ctrl-C (INT) or SIGTERM (TERM) a second into the loader path: the program
# ends within 3 s with STATUS, saying the link is closed and showing no
# status text.
set -uo pipefail
signal=$2 expected=$3
output=$(mktemp)
trap 'rm -f "$output"' EXIT

"$1" --simulate loader >"$output" 2>&1 &
program=$!
sleep 1
sent=$(date +%s%N)
kill "-$signal" "$program"
wait "$program"
status=$?
took_ms=$((($(date +%s%N) - sent) / 1000000))
cat "$output"

if [ "$status" -ne "$expected" ] || [ "$took_ms" -ge 3000 ] ||
  ! tail -n 1 "$output" | grep -q "^corvane-flash: interrupted; the link to the remote is closed" ||
  grep -q "Download Failed\|no usb device\|Send completed" "$output"; then
  echo "after SIG$signal: status $status in $took_ms ms" >&2
  exit 1
fi
