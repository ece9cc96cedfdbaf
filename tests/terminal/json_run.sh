#!/usr/bin/env bash
# json_run.sh EXIT_STATUS STATUS_TEXT ENDS -- PROGRAM [ARGS...]
# Runs the program with --json among its arguments (and, with SIGNAL set,
# sends it that signal a second in, or SIGNAL_AFTER seconds) and passes
# when it exits with EXIT_STATUS, every line of its standard output is a
# JSON object with an "event" and its time, the first "start", ENDS of them
# (one per remote run) "end" events, the last line the last of them (or,
# after several, the "summary", which counts their outcomes and carries
# EXIT_STATUS), and the last end carries the exact STATUS_TEXT and, when
# it is the last line, EXIT_STATUS.
set -uo pipefail
status=$1 text=$2 ends=$3
shift 4
output=$(mktemp)
trap 'rm -f "$output"' EXIT
# Standard error passes, so that a failure shows what the program said there.
"$@" >"$output" </dev/null &
program=$!
if [ -n "${SIGNAL:-}" ]; then
  sleep "${SIGNAL_AFTER:-1}"
  kill "-$SIGNAL" "$program"
fi
wait "$program"
got=$?
cat "$output"
/usr/bin/python3 - "$output" "$status" "$text" "$ends" "$got" <<'PYTHON'
import json, re, sys
from collections import Counter
path, status, text, ends, got = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
events = [json.loads(line) for line in open(path, encoding="utf-8").read().splitlines()]
assert all(isinstance(e, dict) and list(e)[:2] == ["event", "time"] for e in events), "an object without its event and time"
assert all(re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z", e["time"]) for e in events), "a time not in RFC 3339"
assert events[0]["event"] == "start" and events[0]["schema"] == 1 and len(events[0]["images"]) == 2, "no start first"
assert [e["event"] for e in events].count("end") == ends, "not one end event per remote"
runs = len([e for e in events if e["event"] == "end" and "elapsed_ms" in e])
assert events[-1]["event"] == ("summary" if ends > 1 else "end"), "the last line is no end event or summary"
assert all(0 < e["done"] <= e["total"] for e in events if e["event"] == "progress"), "a progress out of its total"
phases = [e["phase"] for e in events if e["event"] == "phase"]
assert phases.count("end") == runs, "not one end phase per run"
assert status == 3 or phases.count("identity") == runs, "a remote found but not identified"
info = any(e["event"] == "identity" for e in events)
assert status == 3 or len([e for e in events if e["event"] == "found" and e["remote"]]) == runs, "not one found event per run"
assert info or status != 0 or phases.count("main") == runs, "a completed run without its main phase"
assert all(e.get("path") in ("direct", "loader") for e in events
           if e["event"] == "phase" and e["phase"] in ("main", "loader")), "a transfer without its path"
assert ends == 1 or all("id" in e for e in events if e["event"] not in ("start", "summary")), "with several remotes, an object without its id"
assert ends == 1 or (events[-1]["exit_status"] == got and events[-1]["outcomes"] == Counter(
    e["outcome"] for e in events if e["event"] == "end")), "a summary that does not add up"
last = [e for e in events if e["event"] == "end"][-1]
assert all(len(e["images"]["main"]) == 64 for e in events if e["event"] == "end" and "elapsed_ms" in e), "a run's end without the main image's digest"
assert last["status"] == text and status == got and (ends > 1 or last["exit_status"] == status), (last, got)
PYTHON
