#!/bin/sh
# check_firmware_test.sh CMAKE CHECK_SCRIPT FIRMWARE_DIR WORK_DIR: the image
# check passes the committed images and refuses, each with its own message,
# a short main image, a long one, and one whose record's checksum is broken.
set -eu
cmake=$1 check=$2 firmware=$3 work=$4
mkdir -p "$work"
failures=0

# expect KIND FILE MESSAGE: the check's verdict on FILE; MESSAGE empty for a
# pass, else what its refusal must say.
expect() {
  if output=$("$cmake" -DIMAGE="$2" -DKIND="$1" -P "$check" 2>&1); then
    verdict=""
  else
    verdict=$output
  fi
  if [ -z "$3" ] && [ -n "$verdict" ] ||
    [ -n "$3" ] && ! printf '%s\n' "$verdict" | grep -qF -- "$3"; then
    echo "$2 as $1: expected \"${3:-a pass}\", got: ${verdict:-a pass}" >&2
    failures=$((failures + 1))
  else
    echo "$2 as $1: ${3:-passes}"
  fi
}

expect main "$firmware/main.bin" ""
expect loader "$firmware/loader.bin" ""

cp "$firmware/main.bin" "$work/short.bin"
truncate -s 1000 "$work/short.bin"
expect main "$work/short.bin" \
  "short.bin: 1000 bytes, but a main image must be exactly 78336 bytes"

cp "$firmware/main.bin" "$work/long.bin"
printf '\377' >>"$work/long.bin"
expect main "$work/long.bin" \
  "long.bin: 78337 bytes, but a main image must be exactly 78336 bytes"
# The right size for the other kind is still the wrong one.
expect loader "$firmware/main.bin" \
  "main.bin: 78336 bytes, but a loader image must be exactly 17408 bytes"

# The record's checksum byte one too high, whatever image is committed.
cp "$firmware/main.bin" "$work/checksum.bin"
sum=$(od -An -tu1 -j $((0x401F)) -N1 "$work/checksum.bin" | tr -d ' ')
byte=$(((sum + 1) % 256))
# shellcheck disable=SC2059
printf "\\$(printf %o "$byte")" |
  dd of="$work/checksum.bin" bs=1 seek=$((0x401F)) conv=notrunc 2>/dev/null
rule="the 32-byte record at 0x4000 breaks its checksum"
sums="bytes 0x4000..0x401E sum to 0x%02x (mod 256), byte 0x401F is 0x%02x"
# shellcheck disable=SC2059
expect main "$work/checksum.bin" "$(printf "checksum.bin: $rule: $sums" "$sum" "$byte")"

[ "$failures" -eq 0 ]
