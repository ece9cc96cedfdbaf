#!/usr/bin/env bash
# json_run.sh EXIT_STATUS STATUS_TEXT ENDS -- PROGRAM [ARGS...]
# Runs the program with --json among its arguments and passes when it exits
# with EXIT_STATUS, every line of its standard output is a JSON object with
# an "event", ENDS of them (one per remote) are "end" events, the last line
# among them, and that one carries the exact STATUS_TEXT and EXIT_STATUS.
set -uo pipefail
status=$1 text=$2 ends=$3
shift 4
output=$(mktemp)
trap 'rm -f "$output"' EXIT
# Standard error passes, so that a failure shows what the program said there.
"$@" >"$output" </dev/null
got=$?
cat "$output"
/usr/bin/python3 - "$output" "$status" "$text" "$ends" "$got" <<'PYTHON'
import json, sys
path, status, text, ends, got = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
events = [json.loads(line) for line in open(path, encoding="utf-8").read().splitlines()]
assert all(isinstance(e, dict) and "event" in e for e in events), "an object without an event"
assert [e["event"] for e in events].count("end") == ends, "not one end event per remote"
assert events[-1]["event"] == "end", "the last line is no end event"
assert all(0 < e["done"] <= e["total"] for e in events if e["event"] == "progress"), "a progress out of its total"
phases = [e["phase"] for e in events if e["event"] == "phase"]
assert phases.count("end") == ends, "not one end phase per run"
assert status == 3 or phases.count("identity") == ends, "a remote found but not identified"
info = any(e["event"] == "identity" for e in events)
assert status == 3 or len([e for e in events if e["event"] == "found" and e["remote"]]) == ends, "not one found event per remote"
assert info or status != 0 or phases.count("main") == ends, "a completed run without its main phase"
assert all(e.get("path") in ("direct", "loader") for e in events
           if e["event"] == "phase" and e["phase"] in ("main", "loader")), "a transfer without its path"
assert ends == 1 or all("id" in e for e in events), "with several remotes, an object without its id"
last = events[-1]
assert all(len(e["images"]["main"]) == 64 for e in events if e["event"] == "end"), "an end without the main image's digest"
assert last["status"] == text and last["exit_status"] == status == got, (last, got)
PYTHON
