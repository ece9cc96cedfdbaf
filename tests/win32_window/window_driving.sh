# Sourced by the scripts that drive the updater's window under Wine: helpers
# on top of gui_session.sh. The X server has no window manager, so Wine's
# window is the X window the person sees, at the same screen coordinates.

source "$(dirname "${BASH_SOURCE[0]}")/gui_session.sh"

title='Corvane Firmware Updater(D00I)'
# Screen rectangles of the controls by name: left, top, right, bottom.
declare -A control_left control_top control_right control_bottom

now_ms() { date +%s%3N; }

# The X id of the visible window with the title; fails after 20 s.
wait_for_window() {
  local pattern
  pattern="^$(printf '%s' "$title" | sed 's/[][()\\.*^$]/\\&/g')\$"
  for _ in $(seq 400); do
    if xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 | grep .; then
      return 0
    fi
    sleep 0.05
  done
  echo "no window titled \"$title\" appeared" >&2
  return 1
}

# Checks the layout through the probe and keeps the controls' rectangles.
check_layout() {
  local output name left top right bottom
  if ! output=$(wine_in_session "$1" layout); then
    echo "$output" >&2
    return 1
  fi
  echo "$output"
  while read -r name left top right bottom; do
    [ -n "${bottom:-}" ] || continue
    control_left[$name]=$left
    control_top[$name]=$top
    control_right[$name]=$right
    control_bottom[$name]=$bottom
  done <<<"$(tr -d '\r' <<<"$output")"
}

# A click in the middle of the control.
click() {
  xdotool mousemove $(((control_left[$1] + control_right[$1]) / 2)) \
    $(((control_top[$1] + control_bottom[$1]) / 2)) click 1
}

# The window as it is on the screen, cut out of the root window.
screenshot() {
  local WIDTH HEIGHT X Y
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  mkdir -p "$(dirname "$2")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -strip "$2"
  echo "screenshot $2"
}

status_text() { wine_in_session "$1" status | tr -d '\r'; }

expect_status() {
  local shown
  shown=$(status_text "$1")
  if [ "$shown" != "$2" ]; then
    echo "status line shows \"$shown\", expected \"$2\"" >&2
    return 1
  fi
}

# Waits up to 30 s for the status line to show the text.
wait_for_status() {
  local shown
  for _ in $(seq 60); do
    shown=$(status_text "$1")
    [ "$shown" = "$2" ] && return 0
    sleep 0.5
  done
  echo "status line shows \"$shown\", expected \"$2\"" >&2
  return 1
}

# Waits up to 10 s for the program to end; gives its exit status.
wait_for_exit() {
  for _ in $(seq 200); do
    if ! kill -0 "$1" 2>/dev/null; then
      wait "$1"
      return
    fi
    sleep 0.05
  done
  echo "the program did not end" >&2
  kill "$1"
  return 124
}
