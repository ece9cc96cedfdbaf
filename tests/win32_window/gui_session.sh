# Sourced by the window tests: an X server and a Wine prefix of the test's
# own, both stopped when the sourcing script exits.
#
#   gui_session_start STATE_DIR   Xvfb on a free display, DISPLAY set, the
#                                 prefix made and its server kept running
#   wine_in_session PROGRAM ARGS  runs a Windows program on that display
#
# The prefix lives in STATE_DIR and is kept for the next run; its server is
# stopped at the end, since its programs talk to an X server that goes.

gui_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
gui_state=
gui_xvfb=

gui_session_stop() {
  if [ -n "$gui_state" ]; then
    WINEPREFIX="$gui_state/prefix" wineserver -k 2>/dev/null || true
    WINEPREFIX="$gui_state/prefix" wineserver -w 2>/dev/null || true
  fi
  if [ -n "$gui_xvfb" ]; then
    kill "$gui_xvfb" 2>/dev/null || true
    wait "$gui_xvfb" 2>/dev/null || true
  fi
}

gui_session_start() {
  gui_state=$1
  mkdir -p "$gui_state"
  local display_file="$gui_state/display"
  rm -f "$display_file"
  trap gui_session_stop EXIT
  trap 'exit 143' TERM INT
  # 96 dpi: the size at which the layout is whole pixels.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp \
    3>"$display_file" 2>"$gui_state/xvfb.log" &
  gui_xvfb=$!
  until grep -q . "$display_file" 2>/dev/null; do
    if ! kill -0 "$gui_xvfb" 2>/dev/null; then
      echo "Xvfb did not start:" >&2
      cat "$gui_state/xvfb.log" >&2
      return 1
    fi
    sleep 0.05
  done
  export DISPLAY=":$(head -n 1 "$display_file")"

  "$gui_repo/scripts/wine-server" "$gui_state"
  # Debian's Wine leaves its own fonts out of new prefixes: without Tahoma
  # the dialog font is a stand-in, without Marlett the close box shows "r".
  local fonts="$gui_state/prefix/drive_c/windows/Fonts"
  if [ -d /usr/share/wine/fonts ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/{marlett,tahoma,tahomabd}.ttf "$fonts/"
  fi
}

wine_in_session() {
  "$gui_repo/scripts/wine-run" "$gui_state" "$@"
}
