#!/usr/bin/env bash
# demo_under_wine.sh STATE_DIR DEMO_EXE PROBE_EXE [SHOT_DIR]
#
# Runs a whole update in corvane-updater-demo.exe (scenario direct, a
# simulated remote at a real remote's pace) under Wine on an X server of its
# own, and takes demo-mid-update.png (in SHOT_DIR, default STATE_DIR) while
# the bar is partly filled. All through the run the window answers the
# question Windows asks to tell a hung window. An unknown scenario is
# refused with status 2.
set -euo pipefail
here=$(dirname "$0")
source "$here/window_driving.sh"
state=$1 demo=$2 probe=$3 shots=${4:-$1}

gui_session_start "$state"

status=0
message=$(wine_in_session "$demo" no-such-scenario 2>&1) || status=$?
head -n 1 <<<"$message"
if [ "$status" -ne 2 ] || ! grep -q "unknown scenario 'no-such-scenario'" <<<"$message"; then
  echo "an unknown scenario gave status $status" >&2
  exit 1
fi

wine_in_session "$demo" direct &
program=$!
# Found by its exact title, which says the remote is simulated.
title="Demo - Corvane Firmware Updater"
window=$(wait_for_window)
check_layout "$probe" >/dev/null

# How far the bar is filled in a screenshot, as "FILLED WIDTH": along its
# middle row, the run of pixels from its left inner edge that have the
# fill's colour. The frame of the bar is left out: 3 pixels each side.
bar_fill() {
  local left right middle X Y row
  left=$((control_left[ProgressBar1] + 3))
  right=$((control_right[ProgressBar1] - 3))
  middle=$(((control_top[ProgressBar1] + control_bottom[ProgressBar1]) / 2))
  eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(X|Y)=')"
  row=$(convert "$1" -crop "$((right - left))x1+$((left - X))+$((middle - Y))" +repage \
    -depth 8 txt:- | sed -n 's/.* \(#[0-9A-F]\{6\}\).*/\1/p')
  awk 'NR == 1 { fill = $0 } $0 != fill { done = 1 } !done { n++ } END { print n, NR }' <<<"$row"
}

# Twenty blocks at about an eighth of a second each: the bar is partly
# filled for about two seconds, which a busy machine may largely spend
# elsewhere. So the window is looked at every quarter second until a shot
# shows the bar at least a third filled, for a picture of the middle of the
# update; a less filled shot is kept in case none gets that far. Only a run
# that completes, or a very slow one, without ever being seen partly filled
# fails.
click startBT
wine_in_session "$probe" ping 3 >"$state/ping.txt" &
pinging=$!
shot="$shots/demo-mid-update.png"
candidate="$state/demo-candidate.png"
mkdir -p "$shots"
kept=0
gives_up=$(($(now_ms) + 30000))
while [ "$(now_ms)" -lt "$gives_up" ]; do
  screenshot "$window" "$candidate" >/dev/null
  read -r filled width < <(bar_fill "$candidate")
  if [ "$filled" -gt 2 ] && [ "$filled" -lt "$width" ]; then
    mv "$candidate" "$shot"
    kept=$filled
    [ $((3 * filled)) -lt "$width" ] || break
  elif [ "$(status_text "$probe")" = "Send completed" ]; then
    break
  fi
  sleep 0.25
done
rm -f "$candidate"
if [ "$kept" -eq 0 ]; then
  echo "the bar was never seen partly filled" >&2
  exit 1
fi
echo "screenshot $shot: bar filled $kept of $width pixels"

wait_for_status "$probe" "Send completed"
if ! wait "$pinging"; then
  echo "the window did not answer all through the run: $(cat "$state/ping.txt")" >&2
  exit 1
fi
echo "during the run the window $(tr -d '\r' <"$state/ping.txt")"
click exitBT
status=0
wait_for_exit "$program" || status=$?
[ "$status" -eq 0 ]
