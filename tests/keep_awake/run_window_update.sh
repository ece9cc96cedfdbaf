#!/usr/bin/env bash
# run_window_update.sh PROGRAM [ARGS...]
# Runs an updater window program on a virtual X display of its own, as a
# person does: clicks Start, then Exit until the program ends. Clicks given
# during the run are dropped, so Exit ends it only once the run is over.
set -euo pipefail
if [ -z "${CORVANE_ON_DISPLAY:-}" ]; then
  exec env CORVANE_ON_DISPLAY=1 xvfb-run -a -s "-nolisten tcp -screen 0 800x600x24" "$0" "$@"
fi

"$@" &
program=$!
trap 'kill "$program" 2>/dev/null || true' EXIT
window=$(timeout 30 xdotool search --sync --onlyvisible --name 'Corvane Firmware Updater')
# The buttons' centres in the window at 96 dpi, from the control table.
xdotool mousemove --window "$window" 76 196 click 1
for _ in $(seq 60); do
  sleep 0.5
  kill -0 "$program" 2>/dev/null || break
  xdotool mousemove --window "$window" 316 204 click 1 2>/dev/null || true
done
wait "$program"
