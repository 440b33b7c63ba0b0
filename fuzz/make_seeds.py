#!/usr/bin/env python3
"""Writes the fuzzers' seeds, in the input layout of fuzz/fuzz_input.h, from what the project
already sends to its decoders: the replay tool's examples, the USB and serial simulators' frames,
and the touches the system tests make. Usage: make_seeds.py OUT_DIR"""

import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..")
sys.path.insert(0, os.path.join(ROOT, "testkit", "usbsim"))
sys.path.insert(0, os.path.join(ROOT, "testkit", "serialsim"))
import serialsim  # noqa: E402
import usbsim  # noqa: E402

SETTINGS_BYTES = 128  # fuzz_input.h: kSettingsBytes; zero bytes keep the defaults
EXAMPLES = os.path.join(ROOT, "tools", "touchreplay", "examples")


def fuzz_input(chunks, settings=b""):
    """The settings block (padded with zeros at its front, since numbers are read from its end),
    the chunks, then each chunk's length as FuzzedDataProvider reads a number in 0..1100: two
    bytes from the end of the input, the high one first."""
    block = bytes(SETTINGS_BYTES - len(settings)) + settings
    tail = b""
    for chunk in chunks:
        assert len(chunk) <= 1100
        tail = bytes([len(chunk) & 0xFF, len(chunk) >> 8]) + tail
    return block + b"".join(chunks) + tail


def stream_chunks(path):
    """The read chunks of a replay stream: one per line of hex bytes; directives dropped."""
    chunks = []
    with open(path) as stream:
        for line in stream:
            line = line.split("#", 1)[0].strip()
            if line and not line.startswith("@"):
                chunks.append(bytes(int(value, 16) for value in line.split()))
    return chunks


def usb_seeds():
    sim = usbsim.SimController.__new__(usbsim.SimController)  # its frames, without the pipes
    sent = []
    sim.send = sent.append
    sim.own_kind, sim.firmware, sim.device_id = True, "1.02", "ZT-SIM"

    def frames(action):
        sent.clear()
        action()
        return list(sent)

    seeds = {
        "example-tap": stream_chunks(os.path.join(EXAMPLES, "tap.stream")),
        "example-two-fingers": stream_chunks(os.path.join(EXAMPLES, "two-fingers.stream")),
        "query-answer": frames(sim.answer_query),
        # The system tests' touches: a tap, a drag, two fingers, a popup hold at the right edge.
        "tap": frames(lambda: (sim.down(8192, 8192), sim.up(8192, 8192))),
        "drag": frames(lambda: (sim.down(8192, 8192), sim.move(4096, 4096), sim.up(4096, 4096))),
        "two-fingers": frames(lambda: (sim.fingers([(4000, 4000, 3), (12000, 12000, 3)]),
                                       sim.fingers([]))),
        "edge-hold": frames(lambda: [sim.fingers([(16300, 8192, 2)]) for _ in range(6)]),
    }
    # A cell frame longer than the frame buffer: its bytes overflow and counting starts anew.
    long_frame = bytes([0xE1]) + usbsim.pair(2000) + usbsim.pair(1000) + usbsim.pair(1000)
    seeds["overflow"] = [long_frame + bytes([1]) * 1000, bytes([1]) * 1000]
    # The whole of a stream in one read, and frames split across reads.
    seeds["tap-one-read"] = [b"".join(seeds["tap"])]
    joined = b"".join(seeds["two-fingers"])
    seeds["two-fingers-split"] = [joined[:7], joined[7:60], joined[60:]]
    return seeds


def serial_seeds():
    seeds = {
        "example": stream_chunks(os.path.join(EXAMPLES, "serial.stream")),
        "answers": [serialsim.QUERY, serialsim.text_message(0x83, "V1.2"),
                    serialsim.text_message(0x84, "ZS-SIM")],
        "touch-lift": [serialsim.fingers_frame([(500, 400)], 1024, 768),
                       serialsim.fingers_frame([(510, 400)], 1024, 768),
                       serialsim.release_frame()],
        "two-fingers": [serialsim.fingers_frame([(200, 200), (800, 600)], 1024, 768),
                        serialsim.fingers_frame([(210, 200), (790, 600)], 1024, 768),
                        serialsim.release_frame()],
    }
    whole = b"".join(seeds["touch-lift"])
    seeds["touch-lift-split"] = [whole[:5], whole[5:]]
    return seeds


# Serial settings bytes, read from the block's end: ClickMode untouched, ClickRightLeft set.
SERIAL_RIGHT_CLICK = b"\x01\x00"


def replay_seeds():
    """The replay tool reads text: registry exports, assignments and stream lines."""
    seeds = {}
    with open(os.path.join(EXAMPLES, "settings.reg"), "rb") as export:
        seeds["example-settings.reg"] = export.read()
    for name in ("tap.stream", "two-fingers.stream", "serial.stream"):
        with open(os.path.join(EXAMPLES, name), "rb") as stream:
            for number, line in enumerate(stream.read().splitlines()):
                if line.strip() and not line.startswith(b"#"):
                    seeds["%s-line%d" % (name, number)] = line
    # Two monitors, the replayed controller attached to the second: the display lookup.
    seeds["two-monitors.reg"] = (
        b"REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\ZorvikTouchParam\\MonitorMaps]\r\n"
        b"\"MultiMonSupport\"=dword:00000001\r\n\"MultiMonMode\"=dword:00000002\r\n"
        b"\"MonitorCount\"=dword:00000002\r\n\"ActiveMonitor\"=dword:00000001\r\n\r\n"
        b"[HKEY_LOCAL_MACHINE\\Software\\ZorvikTouchParam\\MonitorMaps\\Display00]\r\n"
        b"\"AttachedDeviceNo\"=dword:00000000\r\n\r\n"
        b"[HKEY_LOCAL_MACHINE\\Software\\ZorvikTouchParam\\MonitorMaps\\Display01]\r\n"
        b"\"X\"=dword:00000400\r\n\"CX\"=dword:00000400\r\n\"CY\"=dword:00000300\r\n"
        b"\"AttachedDeviceNo\"=dword:00000001\r\n\"Device00\"=\"\\\\\\\\?\\\\replay#0\"\r\n\r\n"
        b"[HKEY_LOCAL_MACHINE\\Software\\ZorvikTouchParam\\General]\r\n"
        b"\"MON01X\"=\"-12\"\r\n\"MON01XZOOM\"=\"990\"\r\n\"MON01XZOOMA\"=\"9900\"\r\n")
    seeds["set-dword"] = b"General\\MouseMode=dword:00000002"
    seeds["set-text"] = b"General\\MON00An=3"
    return seeds


def write(folder, seeds, encode):
    os.makedirs(folder, exist_ok=True)
    for old in os.listdir(folder):
        os.remove(os.path.join(folder, old))
    for name, seed in seeds.items():
        with open(os.path.join(folder, re.sub(r"[^A-Za-z0-9.-]", "_", name)), "wb") as out:
            out.write(encode(seed))


def main():
    out = sys.argv[1]
    write(os.path.join(out, "pipeline_fuzz"), usb_seeds(), fuzz_input)
    serial = {name: fuzz_input(chunks) for name, chunks in serial_seeds().items()}
    serial["one-shot-right-click"] = fuzz_input(serial_seeds()["touch-lift"], SERIAL_RIGHT_CLICK)
    write(os.path.join(out, "serial_fuzz"), serial, lambda seed: seed)
    write(os.path.join(out, "replay_input_fuzz"), replay_seeds(), lambda text: text)


if __name__ == "__main__":
    main()
