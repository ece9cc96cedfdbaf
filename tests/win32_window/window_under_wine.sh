#!/usr/bin/env bash
# window_under_wine.sh STATE_DIR UPDATER_EXE PROBE_EXE [SHOT_DIR]
#
# Starts corvane-updater.exe under Wine on an X server of its own, as a
# person would meet it: the window opens centred with its title and 394 x 236
# client area, every control where the table puts it; Enter and Escape do
# nothing; Start has the focus and, with no remote on the bus, shows "no usb
# device"; a click on Exit ends the program with status 0. An argument it
# does not take is refused with status 2 and the usage. Leaves a
# screenshot, updater-window.png, in SHOT_DIR (default STATE_DIR) and prints
# the time to open and to close.
set -euo pipefail
here=$(dirname "$0")
source "$here/window_driving.sh"
state=$1 updater=$2 probe=$3 shots=${4:-$1}

gui_session_start "$state"

status=0
message=$(wine_in_session "$updater" --foo 2>&1) || status=$?
if [ "$status" -ne 2 ] || ! grep -q "^usage: corvane-updater " <<<"$message"; then
  echo "an unknown argument gave status $status: $message" >&2
  exit 1
fi

started=$(now_ms)
wine_in_session "$updater" &
program=$!
window=$(wait_for_window)
opened=$(now_ms)
echo "window open after $((opened - started)) ms"

check_layout "$probe"
screenshot "$window" "$shots/updater-window.png"

# Neither key starts a run or closes the window.
xdotool key Return Escape
sleep 0.5
expect_status "$probe" ""

# Start has the focus: the space bar presses it.
xdotool key space
wait_for_status "$probe" "no usb device"

clicked=$(now_ms)
click exitBT
status=0
wait_for_exit "$program" || status=$?
echo "program ended $(($(now_ms) - clicked)) ms after the click on Exit, status $status"
[ "$status" -eq 0 ]
