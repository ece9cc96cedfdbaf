#!/usr/bin/env bash
# logind_lock_test.sh [--fallback] -- COMMAND [ARGS...]
# Runs COMMAND against a logind of its own (python-dbusmock's template on a
# private bus, never the machine's) and checks that COMMAND holds a
# "sleep:shutdown" block inhibitor while it runs and that the inhibitor is
# gone once it ends. With --fallback the system bus address leads nowhere:
# COMMAND must still succeed, and say nothing of it, there being nothing to
# ask.
set -uo pipefail

fallback=false
if [ "${1:-}" = --fallback ]; then
  fallback=true
  shift
fi
[ "${1:-}" = -- ] && shift
if [ $# -eq 0 ]; then
  echo "usage: logind_lock_test.sh [--fallback] -- COMMAND [ARGS...]" >&2
  exit 2
fi

# dbusmock is installed for Debian's own interpreter, whatever python3 the
# PATH finds first.
python=/usr/bin/python3
cannot="cannot keep the computer awake"
work=$(mktemp -d)
started=()

cleanup() {
  for pid in "${started[@]}"; do
    kill "$pid" 2>/dev/null
  done
  for pid in "${started[@]}"; do
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "logind_lock_test: $*" >&2
  for log in "$work"/*.log; do
    grep -v " ListInhibitors$" "$log" | sed "s|^|$(basename "$log"): |" >&2
  done
  exit 1
}

# Nothing here may reach the machine's own buses.
unset DBUS_SESSION_BUS_ADDRESS
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/nobody_listens"

# Runs the rest of the line until it succeeds, for up to $1 seconds.
retry() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# The command, bounded, with its output kept; sets `command_pid`.
start_command() {
  timeout -k 5 60 "$@" >"$work/command.log" 2>"$work/stderr.log" &
  command_pid=$!
  started+=("$command_pid")
}

if $fallback; then
  start_command "$@"
  wait "$command_pid"
  status=$?
  [ "$status" -eq 0 ] || fail "without a system bus the command failed with status $status"
  grep -q "$cannot" "$work/stderr.log" && fail "without a system bus the command said '$cannot'"
  exit 0
fi

# A private bus, listening once it has printed its address.
cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:path=$work/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --nofork --config-file="$work/bus.conf" --print-address=1 \
  >"$work/address" 2>"$work/bus.log" &
started+=("$!")
retry 5 test -s "$work/address" || fail "the private bus did not start"
DBUS_SYSTEM_BUS_ADDRESS=$(head -n 1 "$work/address")

"$python" -m dbusmock --system --template logind >"$work/mock.log" 2>&1 &
started+=("$!")

# logind's inhibitors as "what<TAB>who<TAB>mode" lines. The mock drops one
# when the far end of the descriptor it handed out is closed everywhere.
inhibitors() {
  timeout 5 "$python" -c '
import dbus
manager = dbus.Interface(
    dbus.SystemBus().get_object("org.freedesktop.login1", "/org/freedesktop/login1"),
    "org.freedesktop.login1.Manager")
for what, who, _, mode, _, _ in manager.ListInhibitors():
    print(what, who, mode, sep="\t")'
}

# Asked and answered with none: a mock that went away does not count.
none_held() {
  local held
  held=$(inhibitors 2>/dev/null) && [ -z "$held" ]
}
retry 10 inhibitors >/dev/null 2>&1 || fail "the mock logind did not come up"
none_held || fail "an inhibitor is held before the command runs"

expected=$(printf 'sleep:shutdown\tCorvane Updater\tblock')
start_command "$@"
# Seen held, or the command gone without it.
held_or_ended() {
  held=$(inhibitors 2>/dev/null)
  [ -n "$held" ] || ! kill -0 "$command_pid" 2>/dev/null
}
retry 10 held_or_ended
[ -n "$held" ] || fail "no inhibitor was held while the command ran"
[ "$held" = "$expected" ] || fail "the inhibitor held is '$held', not '$expected'"

wait "$command_pid"
status=$?
[ "$status" -eq 0 ] || fail "the command failed with status $status"
grep -q "$cannot" "$work/stderr.log" && fail "the command said '$cannot' with logind there"

retry 5 none_held || fail "the inhibitor is still held after the command ended"
