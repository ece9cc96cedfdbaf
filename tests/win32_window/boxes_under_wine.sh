#!/usr/bin/env bash
# boxes_under_wine.sh STATE_DIR DEMO_EXE PROBE_EXE [SHOT_DIR]
#
# The boxes of corvane-updater-demo.exe under Wine, as a person meets them:
# after a run that closes the window (Error #002, and Error #003 in the
# main image) the window goes, a box titled like it says why and what to
# do, and once it is dismissed the program ends with the status
# corvane-flash gives the outcome, the status text on standard error. A
# remote this user may not open gets a box beside the window, not over it,
# and Exit still ends the program with status 0. Leaves the screenshots
# windows-error-002-box.png, windows-error-003-box.png and
# windows-cause-box.png in SHOT_DIR (default STATE_DIR).
set -euo pipefail
here=$(dirname "$0")
source "$here/window_driving.sh"
state=$1 demo=$2 probe=$3 shots=${4:-$1}
title="Demo - Corvane Firmware Updater"

gui_session_start "$state"

# Left, top, right and bottom of an X window on the screen.
edges() {
  local WIDTH HEIGHT X Y
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  echo "$X $Y $((X + WIDTH)) $((Y + HEIGHT))"
}

# The visible window titled $1 other than $2, once there is one.
other_window() {
  for _ in $(seq 400); do
    for found in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
      [ "$found" != "$2" ] && { echo "$found"; return 0; }
    done
    sleep 0.05
  done
  echo "no window titled \"$1\" appeared" >&2
  return 1
}

closed_by_run() {  # scenario, status, shot
  wine_in_session "$demo" "$1" 2>"$state/stderr.txt" &
  program=$!
  window=$(wait_for_window)
  check_layout "$probe" >/dev/null
  click startBT
  # The window goes at once; the box, titled alike, comes after it.
  for _ in $(seq 600); do
    xdotool search --onlyvisible --name "^$title\$" | grep -qx "$window" || break
    sleep 0.05
  done
  box=$(other_window "^$title\$" "$window")
  sleep 0.5
  import -window root "$shots/windows-$3.png"
  xdotool windowfocus --sync "$box" key Return
  status=0
  wait_for_exit "$program" || status=$?
  said=$(tr -d '\r' <"$state/stderr.txt" | grep "corvane-updater-demo: " | tail -n 1)
  echo "$1: exit status $status, stderr: $said"
  [ "$status" -eq "$2" ] && grep -q "Download Failed" <<<"$said"
}

closed_by_run identity-bad-echo 5 error-002-box
closed_by_run block-silent 6 error-003-box

wine_in_session "$demo" no-permission &
program=$!
window=$(wait_for_window)
check_layout "$probe" >/dev/null
click startBT
box=$(other_window '^The remote could not be opened$' "$window")
sleep 0.5
import -window root "$shots/windows-cause-box.png"
read -r wl wt wr wb < <(edges "$window")
read -r bl bt br bb < <(edges "$box")
echo "window $wl,$wt-$wr,$wb; cause box $bl,$bt-$br,$bb"
if [ "$br" -gt "$wl" ] && [ "$bl" -lt "$wr" ] && [ "$bb" -gt "$wt" ] && [ "$bt" -lt "$wb" ]; then
  echo "the cause box covers the window" >&2
  exit 1
fi
click exitBT
status=0
wait_for_exit "$program" || status=$?
[ "$status" -eq 0 ]
