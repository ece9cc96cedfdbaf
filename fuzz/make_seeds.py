#!/usr/bin/env python3
"""Writes the seed inputs of fuzz/corpus/update_run/ (one for each scenario
of sim/scenarios.cpp, and a few more) and fuzz/corpus/usb_descriptors/.
Run it again when a format changes.

update_run reads, front to back (past the end every byte reads 0):
  setup     bits: 0 identify only, 1 the remote calls for the loader, 2 it
            never comes back after the loader, 3 waits time out although
            their transfer completed, 4 it is plugged in late, 5 the run can
            be stopped
  byte      the remote's restart delay after the loader, x 64 ms
  byte      with setup bit 4: its arrival, x 64 ms
  byte      a backend call to fail (sim::Call + 1, or 0), then which one
  byte      interfaces listed before the remote (0-3), each: a length and
            that many bytes of path; length 0: a second remote's path
  byte      the tick count starts this many half seconds before its wrap
  byte      with setup bit 5: the write at which the stop is asked for (0:
            never)
  then, for each write the remote sees, a byte:
    bits 0-1  its reply: none, as it should, late by a byte x 16 ms, or a
              byte's length of bytes from the input
    bits 2-3  the write: whole, its wait fails, it stalls, short by a byte
    bits 4-5  reads after it: take replies, complete empty, fail
    bits 6-7  the remote: as it should, restarts, is unplugged, stays

usb_descriptors reads: vendor and product (big-endian), bus, a count of
ports (mod 8) and the ports, which configurations could be read (bit 0 the
active one, bit 1 the first), then each: its interfaces, each with its
alternate settings, each with its class and endpoints, each with its
address and attributes.
"""
from pathlib import Path

corpus = Path(__file__).parent / "corpus"

SILENT, NORMAL, LATE, REPLY = range(4)
WAIT_FAILS, STALLS, SHORT = 1 << 2, 2 << 2, 3 << 2
EMPTY, FAILS = 1 << 4, 2 << 4
RESTART, UNPLUG = 1 << 6, 2 << 6
IDENTIFY, LOADER, GONE, TIMEOUT_RACE, LATE_ARRIVAL, STOPPABLE = 1, 2, 4, 8, 16, 32
CALLS = {"list": 1, "open": 2, "start-read": 3, "start-write": 4, "wait": 5}
MAIN_BLOCKS, LOADER_BLOCKS = 20, 5


def header(setup=0, restart_ms=3000, arrival_ms=0, call=None, at=1, listed=(), wrap_s=0, stop_at=0):
    out = [setup, restart_ms // 64]
    if setup & LATE_ARRIVAL:
        out.append(arrival_ms // 64)
    out += [CALLS[call], at] if call else [0]
    out.append(len(listed))
    for path in listed:
        out += [len(path), *path]
    return out + [wrap_s * 2] + ([stop_at] if setup & STOPPABLE else [])


def reply(data):
    return [REPLY, len(data), *data]


def summed(data):
    return data[:-1] + [sum(data[:-1]) & 0xFF]


def block_reply(number):
    return summed([0xAD, 0xFA, 0, 0, number >> 8, number & 0xFF, 0, 0])


def identity(a, b, c, d, echo=0xFA):
    info = summed([0, 0, 1, 0, 0, 0, 0x1B, 0x1B, 5, 0, 0, 0, a, b, 0, c, d] + [0] * 15)
    return [0xAD, echo] + [0] * 14 + info


def run(blocks, before=(), each=None, end=NORMAL):
    """The writes of one connection: probe, identity, blocks, end frame."""
    frames = list(before) or [NORMAL, NORMAL]
    for n in range(1, blocks + 1):
        frames += each(n) if each else [NORMAL]
    return frames + [end]


direct = run(MAIN_BLOCKS)
loader = run(LOADER_BLOCKS) + direct
seeds = {
    "direct": header() + direct,
    "direct-flagged": header() + run(MAIN_BLOCKS, [NORMAL, *reply(identity(1, 0x0A, 0, 0))]),
    "loader": header(LOADER) + loader,
    "own-number": header() + run(MAIN_BLOCKS, each=lambda n: reply(block_reply(n)) * 3),
    "no-remote": header(LATE_ARRIVAL, arrival_ms=255 * 64),
    "arrives-late": header(LATE_ARRIVAL, arrival_ms=2000) + direct,
    "no-permission": header(call="open"),
    "probe-nak": header() + reply([0xF5]),
    "probe-silent": header() + run(MAIN_BLOCKS, [SILENT, NORMAL]),
    "identity-bad-echo": header() + [NORMAL, *reply(identity(0, 9, 0, 0, echo=0xFB))],
    "identity-bad-echo-loader": header(LOADER)
    + run(LOADER_BLOCKS, [NORMAL, *reply(identity(0, 9, 1, 1, echo=0xFB))])
    + direct,
    "identity-short": header() + run(MAIN_BLOCKS, [NORMAL, *reply([0xAD, 0xFA] + [0] * 18)]),
    "identity-silent": header() + run(MAIN_BLOCKS, [NORMAL, SILENT]),
    "block-empty": header() + [NORMAL] * 6 + [EMPTY],
    "block-silent": header() + [NORMAL] * 8 + [SILENT] * 3,
    "retry-then-ack": header() + run(MAIN_BLOCKS, each=lambda n: [SILENT, NORMAL] if n == 4 else [NORMAL]),
    "wrong-ack-once": header()
    + run(MAIN_BLOCKS, each=lambda n: reply(block_reply(6)) + [NORMAL] if n == 6 else [NORMAL]),
    "slow-remote": header() + run(MAIN_BLOCKS, each=lambda n: [LATE, 1500 // 16]),
    "loader-empty": header(LOADER) + [NORMAL] * 4 + [EMPTY],
    "loader-gone": header(LOADER | GONE) + run(LOADER_BLOCKS),
    "loader-probe-nak": header(LOADER) + run(LOADER_BLOCKS) + reply([0xF5]),
    "loader-identity-bad": header(LOADER)
    + run(LOADER_BLOCKS)
    + [NORMAL, *reply(identity(0, 9, 1, 1, echo=0xFB))],
    "loader-main-empty": header(LOADER) + run(LOADER_BLOCKS) + [NORMAL] * 3 + [EMPTY],
    "probe-write-fails": header() + [WAIT_FAILS | NORMAL] * 200,
    "block-short-write": header() + [NORMAL] * 4 + [SHORT | NORMAL, 100],
    "end-write-fails": header() + run(MAIN_BLOCKS, end=STALLS),
    "loader-end-write-fails": header(LOADER) + run(LOADER_BLOCKS, end=STALLS),
    # Beyond the scenarios: identification, other interfaces listed first,
    # failing calls, the tick count's wrap, a remote that leaves.
    "identify": header(IDENTIFY) + [NORMAL, NORMAL],
    "identify-loader": header(IDENTIFY | LOADER) + [NORMAL, NORMAL],
    "listed-before": header(listed=[b"\\\\?\\usb#vid_1234&pid_5678#1-2#{other}", b""]) + direct,
    "list-fails": header(call="list") + direct,
    "start-read-fails": header(call="start-read", at=3) + direct,
    "start-write-fails": header(call="start-write", at=4) + direct,
    "wait-fails": header(call="wait", at=5) + direct,
    "time-out-race": header(TIMEOUT_RACE) + direct,
    "loader-across-wrap": header(LOADER, wrap_s=5) + loader,
    "loader-back-late": header(LOADER, restart_ms=9000) + loader,
    "identify-no-remote": header(IDENTIFY | LATE_ARRIVAL, arrival_ms=255 * 64),
    "identity-write-fails": header() + [NORMAL, STALLS],
    "read-open-fails": header(call="open", at=4) + direct,
    "write-open-fails": header(call="open", at=3) + direct,
    "loader-stoppable": header(LOADER | STOPPABLE) + loader,
    "stopped-in-stall": header(STOPPABLE, stop_at=3) + [NORMAL, NORMAL, STALLS],
    "stoppable": header(STOPPABLE) + direct,
    "stopped-in-main": header(STOPPABLE, stop_at=9) + direct,
    "stopped-in-pause": header(LOADER | STOPPABLE, stop_at=8) + loader,
    "unplugged": header() + [NORMAL] * 5 + [NORMAL | UNPLUG],
    "restarts-in-main": header() + [NORMAL] * 5 + [NORMAL | RESTART],
    "reads-fail": header() + [NORMAL] * 5 + [FAILS],
    # What the fuzzer found: a remote that restarts at once mid-image and is
    # written to again; a block whose only reply is longer than a BlockReply.
    "restarts-at-once-in-main": header(restart_ms=0) + [NORMAL] * 5 + [NORMAL | RESTART] + direct,
    "long-reply-then-silence": header()
    + run(MAIN_BLOCKS, each=lambda n: reply(identity(0, 9, 0, 0)) + [SILENT] * 2 if n == 2 else [NORMAL]),
}

def usb(vendor, product, readable, *configs):
    out = [vendor >> 8, vendor & 0xFF, product >> 8, product & 0xFF, 1, 2, 1, 4, readable]
    for interfaces in configs:
        out.append(len(interfaces))
        for settings in interfaces:
            out.append(len(settings))
            for cls, endpoints in settings:
                out += [cls, len(endpoints)]
                for address, attributes in endpoints:
                    out += [address, attributes]
    return out


remote = [[(0xFF, [(0x01, 2), (0x81, 2)])]]
usb_seeds = {
    "remote": usb(0xEC4B, 0x7A10, 1, remote),
    "remote-no-active-configuration": usb(0xEC4B, 0x7A10, 2, remote),
    "no-configuration": usb(0xEC4B, 0x7A10, 0),
    "one-bulk-endpoint": usb(0xEC4B, 0x7A10, 1, [[(0xFF, [(0x01, 2), (0x81, 3)])]]),
    "second-interface": usb(0xEC4B, 0x7A10, 1, [[(3, [(0x81, 3)])], [], *remote]),
    "other-device": usb(0x046D, 0xC52B, 1, remote),
}

for folder, inputs in (("update_run", seeds), ("usb_descriptors", usb_seeds)):
    for name, data in inputs.items():
        (corpus / folder / name).write_bytes(bytes(data))
