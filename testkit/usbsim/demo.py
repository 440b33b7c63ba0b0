#!/usr/bin/env python3
"""The main job, end to end: Usblink under Wine drives the pointer from a simulated controller.

Plays a scripted session (tap, drag, double tap, right click, two fingers, popup hold), prints a
readable trace of what the pointer did, and writes a picture of the finger path against the
pointer path (SVG, and PNG when ImageMagick can convert it). Ends by itself; leaves no process.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import usbsim  # noqa: E402

BUTTONS = {0: "move", 1: "left press", 2: "left release", 4: "right press", 8: "right release"}
POPUP = "Global\\MERIDAX_MTOUCHPOINT_POPUP_EVENT"
RELEASES = (2, 8)
HOLD_FRAMES = 7  # cell frames one second apart: a 7 s hold, 5 s needed by default
MINUTE_MARGIN = 1.0  # seconds kept clear of each change of minute


class Session:
    def __init__(self, world, out_dir):
        self.world = world
        self.out_dir = out_dir
        self.start = time.monotonic()
        self.fingers = []   # (x, y) in 0..1 of the sensor, with a stroke number
        self.pointer = []   # (x, y) in 0..1 of the pointer range, with a stroke number
        self.stroke = -1
        self.names = []

    def say(self, text):
        print("%7.2f s  %s" % (time.monotonic() - self.start, text), flush=True)

    def show(self, records):
        for r in records:
            what = BUTTONS.get(r["buttons"], "buttons 0x%x" % r["buttons"])
            if r["buttons"] == 0:
                self.pointer.append((r["x"] / 65535, r["y"] / 65535, self.stroke))
                self.say("    pointer %-13s to (%5d, %5d)  = %5.1f %% , %5.1f %% of the screen"
                         % (what, r["x"], r["y"], 100 * r["x"] / 65535, 100 * r["y"] / 65535))
            else:
                self.say("    pointer %s" % what)

    def gesture(self, name, text):
        self.stroke += 1
        self.names.append(name)
        self.say(text)

    def touch(self, x, y):
        self.fingers.append((x, y, self.stroke))
        return int(x * 16383), int(y * 16383)


def svg(session, path):
    size = 600
    colours = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b", "#e377c2"]
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
             'viewBox="0 0 %d %d">' % (size, size + 60, size, size + 60),
             '<rect x="0" y="0" width="%d" height="%d" fill="white" stroke="black"/>'
             % (size, size)]
    for stroke, name in enumerate(session.names):
        colour = colours[stroke % len(colours)]
        fingers = [(x * size, y * size) for x, y, k in session.fingers if k == stroke]
        pointer = [(x * size, y * size) for x, y, k in session.pointer if k == stroke]
        if len(pointer) > 1:
            parts.append('<polyline points="%s" fill="none" stroke="%s" stroke-width="1.5"/>'
                         % (" ".join("%.1f,%.1f" % p for p in pointer), colour))
        for x, y in pointer:
            parts.append('<circle cx="%.1f" cy="%.1f" r="2.5" fill="%s"/>' % (x, y, colour))
        for x, y in fingers:
            parts.append('<circle cx="%.1f" cy="%.1f" r="7" fill="none" stroke="%s" '
                         'stroke-width="1.2"/>' % (x, y, colour))
        if fingers:
            parts.append('<text x="%.1f" y="%.1f" font-family="sans-serif" font-size="13" '
                         'fill="%s">%s</text>' % (min(fingers[0][0] + 10, size - 110),
                                                   fingers[0][1] - 10, colour, name))
    parts.append('<text x="10" y="%d" font-family="sans-serif" font-size="14">rings: finger '
                 'reports on the sensor; dots and lines: pointer moves written by Usblink</text>'
                 % (size + 25))
    parts.append('<text x="10" y="%d" font-family="sans-serif" font-size="14">sensor and '
                 'pointer ranges both scaled to the square</text>' % (size + 45))
    parts.append("</svg>")
    with open(path, "w") as out:
        out.write("\n".join(parts))


def play(world, mouse, controller, s):
    def settle(count, timeout=5):
        s.show(mouse.wait_for(count, timeout))

    s.gesture("tap", "tap at the centre")
    controller.down(*s.touch(0.5, 0.5))
    controller.up(*s.touch(0.5, 0.5))
    settle(3)

    s.gesture("drag", "drag from (0.15, 0.2) to (0.8, 0.7) in 40 reports (MouseMode 0: smoothed)")
    for i in range(41):
        x, y = 0.15 + 0.65 * i / 40, 0.2 + 0.5 * i / 40
        controller.move(*s.touch(x, y))
        time.sleep(0.005)
    controller.up(*s.touch(0.8, 0.7))
    settle(43)

    s.gesture("double tap", "double tap at (0.3, 0.75), 150 ms apart: the second press snaps onto the first")
    controller.down(*s.touch(0.3, 0.75))
    controller.up(*s.touch(0.3, 0.75))
    time.sleep(0.15)
    controller.down(*s.touch(0.302, 0.752))
    controller.up(*s.touch(0.302, 0.752))
    settle(6)

    s.gesture("right click", "right click: ClickRightLeft = 1 and the click-change event, as the click tool does")
    subprocess.run(["wine", "reg", "add", "HKLM\\Software\\ZorvikTouchParam\\General", "/v",
                    "ClickRightLeft", "/t", "REG_DWORD", "/d", "1", "/f"], env=world.env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    world.run("tools/touchctl/touchctl.exe", "set", "usb", "clickchange")
    time.sleep(0.5)
    controller.down(*s.touch(0.7, 0.3))
    controller.up(*s.touch(0.7, 0.3))
    settle(3)
    s.gesture("left again", "the next touch is a left click again")
    controller.down(*s.touch(0.72, 0.32))
    controller.up(*s.touch(0.72, 0.32))
    settle(3)

    s.gesture("two fingers", "two fingers at (0.25, 0.25) and (0.75, 0.75) on a 64 x 48 cell sensor")
    fingers = [(0.25, 0.25), (0.75, 0.75)]
    for fx, fy in fingers:
        s.touch(fx, fy)
    reader = world.start("tools/touchctl/touchctl.exe", "wait-points", "10000",
                         log=os.path.join(s.out_dir, "points.log"))
    time.sleep(0.5)
    controller.fingers([(int(fx * 16383), int(fy * 16383), 3) for fx, fy in fingers])
    reader.wait(timeout=15)
    with open(os.path.join(s.out_dir, "points.log"), encoding="latin-1") as log:
        for line in log.read().splitlines():
            if line.startswith('{"points"'):
                section = json.loads(line)["points"]
                for r in section["records"]:
                    kind = {1: "touch", 2: "ghost", 3: "rejected"}.get(r["status"], "?")
                    s.say("    point section: (%d, %d) %-5s id %d at %d, %d pixels"
                          % (r["r"], r["c"], kind, r["id"], r["x"], r["y"]))
    controller.fingers([])
    settle(3)

    popup_hold(world, mouse, controller, s)


def show_to_release(mouse, s, timeout=5):
    """Shows the pointer records up to the button release, however many come before it."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        records = mouse.take()
        s.show(records)
        if any(r["buttons"] in RELEASES for r in records):
            return
        time.sleep(0.05)
    s.say("    no button release within %d s" % timeout)


def seconds_to_wait_for_hold(into_minute, hold_seconds):
    """How long to wait, `into_minute` seconds into a minute, before a hold of `hold_seconds`
    ends at least `MINUTE_MARGIN` before the change of minute."""
    if into_minute + hold_seconds <= 60 - MINUTE_MARGIN:
        return 0.0
    return 60 - into_minute + MINUTE_MARGIN


def popup_hold(world, mouse, controller, s):
    """A finger held near the right edge, then lifted: the popup event and the release."""
    s.gesture("popup hold", "hold a finger 6 s near the right edge, then lift: the popup gesture")
    # Usblink measures a hold by the clock's seconds inside one minute, so a hold that crosses a
    # change of minute never counts: start it only when the whole hold fits in one minute.
    hold_seconds = 0.5 + HOLD_FRAMES  # the event waiter's start, then one frame a second
    wait = seconds_to_wait_for_hold(time.time() % 60, hold_seconds)
    if wait > 0:
        s.say("    waiting %.1f s for the next minute, so that the hold does not cross a change "
              "of minute" % wait)
        time.sleep(wait)
    started = time.time() % 60
    s.say("    the hold runs from %.1f s to %.1f s into the minute"
          % (started, started + hold_seconds))
    popup = world.start("tools/touchctl/touchctl.exe", "wait-event", POPUP, "15000",
                        log=os.path.join(s.out_dir, "popup.log"))
    time.sleep(0.5)
    held = (0.99, 0.5)
    s.touch(*held)
    for _ in range(HOLD_FRAMES):
        controller.fingers([(int(held[0] * 16383), int(held[1] * 16383), 3)])
        time.sleep(1.0)
    s.show(mouse.take())
    s.say("    lift")
    controller.fingers([])
    show_to_release(mouse, s)
    popup.wait(timeout=15)
    with open(os.path.join(s.out_dir, "popup.log"), encoding="latin-1") as log:
        signalled = '"signalled"' in log.read()
    s.say("    popup event %s" % ("set" if signalled else "NOT set"))
    return signalled


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/win64", help="the win64 build folder")
    parser.add_argument("--out", default="build/demo", help="folder for the trace and picture")
    args = parser.parse_args()
    source = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
    out_dir = os.path.abspath(args.out)
    os.makedirs(out_dir, exist_ok=True)

    world = usbsim.WineWorld(args.build, source)
    subprocess.run(["wine", "reg", "delete", "HKLM\\Software\\ZorvikTouchParam", "/f"],
                   env=world.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    mouse = usbsim.MouseStandIn(world, os.path.join(out_dir, "sim"))
    controller = usbsim.SimController(world, 0, os.path.join(out_dir, "sim"))
    session = Session(world, out_dir)
    usblink = world.start_usblink(log=os.path.join(out_dir, "usblink.log"))
    try:
        session.say("Usblink started; waiting for it to find the controller")
        end = time.monotonic() + 20
        while controller.queries == 0 and time.monotonic() < end:
            time.sleep(0.1)
        if controller.queries == 0:
            raise SystemExit("demo: Usblink did not query the controller")
        time.sleep(1.0)
        code, out = world.run("tools/touchctl/touchctl.exe", "list")
        session.say("controller served: " + out.splitlines()[0])
        play(world, mouse, controller, session)
        session.say("%d acknowledges received by the controller" % controller.ack_count())
    finally:
        world.run("tools/touchctl/touchctl.exe", "set", "usb", "exit")
        try:
            code = usblink.wait(timeout=15)
            session.say("Usblink ended with exit code %d" % code)
        except subprocess.TimeoutExpired:
            usblink.kill()
        controller.unplug()
        mouse.close()
        subprocess.run([os.path.join(source, "tests/wine/world.sh"), "down", world.prefix])
    picture = os.path.join(out_dir, "session.svg")
    svg(session, picture)
    print("picture: %s" % picture)
    if shutil.which("convert"):
        png = os.path.join(out_dir, "session.png")
        if subprocess.run(["convert", picture, png], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0:
            print("picture: %s" % png)


if __name__ == "__main__":
    main()
