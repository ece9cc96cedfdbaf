#!/usr/bin/env bash
# demo_under_wine.sh STATE_DIR DEMO_EXE PROBE_EXE [SHOT_DIR]
#
# Runs a whole update in corvane-updater-demo.exe (scenario direct, a
# simulated remote at a real remote's pace) under Wine on an X server of its
# own, and takes demo-mid-update.png (in SHOT_DIR, default STATE_DIR) while
# the bar is partly filled: the run pumps no messages, so a bar that moves on
# the screen shows it is redrawn at once. An unknown scenario is refused with
# status 2.
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
window=$(wait_for_window)
check_layout "$probe" >/dev/null

# Twenty blocks at about an eighth of a second each.
click startBT
sleep 1.2
shot="$shots/demo-mid-update.png"
screenshot "$window" "$shot"

# How far the bar is filled in the picture: along its middle row, the run
# of pixels from its left inner edge that have the fill's colour.
# The frame of the bar is left out: 3 pixels each side.
left=$((control_left[ProgressBar1] + 3))
right=$((control_right[ProgressBar1] - 3))
middle=$(((control_top[ProgressBar1] + control_bottom[ProgressBar1]) / 2))
eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(X|Y)=')"
row=$(convert "$shot" -crop "$((right - left))x1+$((left - X))+$((middle - Y))" +repage \
  -depth 8 txt:- | sed -n 's/.* \(#[0-9A-F]\{6\}\).*/\1/p')
filled=$(awk 'NR == 1 { fill = $0 } $0 != fill { exit } { n++ } END { print n }' <<<"$row")
width=$(wc -l <<<"$row")
echo "bar filled $filled of $width pixels in the screenshot"
if [ "$filled" -le 2 ] || [ "$filled" -ge "$width" ]; then
  echo "the bar is not partly filled" >&2
  exit 1
fi

wait_for_status "$probe" "Send completed"
click exitBT
status=0
wait_for_exit "$program" || status=$?
[ "$status" -eq 0 ]
