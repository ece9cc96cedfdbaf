#!/usr/bin/env bash
# driverless_remote.sh STATE_DIR PROGRAM [ARGS...]
# Runs the program while the Wine prefix below STATE_DIR (see
# scripts/wine-run) has a remote plugged in without its driver: a USB device
# with the remote's ids, USB\VID_EC4B&PID_7A10\DRIVERLESS-1, and no interface
# of the driver's class. Wine's SetupAPI lists the devices its registry
# holds, so a key is all it takes. Gives the program's exit status.
set -uo pipefail
state=$1
shift
wine_run=$(dirname "$0")/../../scripts/wine-run
device='HKLM\System\CurrentControlSet\Enum\USB\VID_EC4B&PID_7A10'
trap '"$wine_run" "$state" reg delete "$device" /f >/dev/null' EXIT
# Windows puts a device without a driver in the class Other devices.
"$wine_run" "$state" reg add "$device\\DRIVERLESS-1" /v ClassGUID \
  /d '{4d36e97e-e325-11ce-bfc1-08002be10318}' /f >/dev/null || exit 1
"$@"
