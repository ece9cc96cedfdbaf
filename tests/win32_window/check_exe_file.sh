#!/usr/bin/env bash
# check_exe_file.sh EXE OBJDUMP: the shipped program file is under 1 MiB and
# needs no DLL beyond those every Windows has.
set -euo pipefail
exe=$1
objdump=$2

size=$(stat -c %s "$exe")
echo "$(basename "$exe"): $size bytes"
if [ "$size" -ge $((1024 * 1024)) ]; then
  echo "larger than 1 MiB" >&2
  exit 1
fi

# The C runtime (msvcrt) ships with Windows like the rest.
system_dlls='^(kernel32|user32|gdi32|comctl32|setupapi|msvcrt)\.dll$'
dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
echo "imports:" $dlls
foreign=$(echo "$dlls" | tr 'A-Z' 'a-z' | grep -Ev "$system_dlls" || true)
if [ -n "$foreign" ]; then
  echo "imports DLLs that are not the system's:" $foreign >&2
  exit 1
fi
