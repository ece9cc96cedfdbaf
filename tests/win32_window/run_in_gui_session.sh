#!/usr/bin/env bash
# run_in_gui_session.sh STATE_DIR PROGRAM [ARGS...]: runs a Windows program
# under Wine on an X server of its own.
set -euo pipefail
source "$(dirname "$0")/gui_session.sh"
gui_session_start "$1"
shift
wine_in_session "$@"
