#!/usr/bin/env bash
# check_exe_file.sh OBJDUMP FORMAT [--max-bytes=N] EXE...: each program file
# is of the format (pei-x86-64 for 64-bit Windows, pei-i386 for 32-bit) and
# needs no DLL beyond those every Windows has; the programs after a
# --max-bytes are also smaller than N bytes. Prints what it found.
set -euo pipefail
objdump=$1 format=$2
shift 2

# The C runtime (msvcrt) ships with Windows like the rest.
system_dlls='^(kernel32|user32|gdi32|comctl32|setupapi|msvcrt)\.dll$'
max_bytes=
failures=0
for exe in "$@"; do
  case $exe in --max-bytes=*)
    max_bytes=${exe#*=}
    continue
    ;;
  esac
  name=$(basename "$exe")
  found=$("$objdump" -f "$exe" | sed -n 's/.*file format //p')
  size=$(stat -c %s "$exe")
  dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort)
  echo "$name: $found, $size bytes, imports" $dlls
  if [ "$found" != "$format" ]; then
    echo "$name: $found, not $format" >&2
    failures=$((failures + 1))
  fi
  if [ -n "$max_bytes" ] && [ "$size" -ge "$max_bytes" ]; then
    echo "$name: $size bytes, not under $max_bytes" >&2
    failures=$((failures + 1))
  fi
  foreign=$(grep -Ev "$system_dlls" <<<"$dlls" || true)
  if [ -n "$foreign" ]; then
    echo "$name: imports DLLs that are not the system's:" $foreign >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ]
