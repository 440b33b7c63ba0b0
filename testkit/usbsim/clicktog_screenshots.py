#!/usr/bin/env python3
"""Screenshots of the real Clicktog window in both modes, under Wine and Xvfb, for the docs.

    python3 testkit/usbsim/clicktog_screenshots.py [--build build/win64] [--out docs]"""

import argparse
import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import usbsim  # noqa: E402


def shot(world, out):
    code, text = world.run("testkit/uictl/uictl.exe", "wait-window", "Touch Click Control", "10000")
    if code != 0:
        raise SystemExit("no Clicktog window")
    box = json.loads(text)
    time.sleep(0.5)
    subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
        box["w"], box["h"], box["x"], box["y"]), "+repage", out], env=world.env, check=True)
    subprocess.run(["convert", out, "-scale", "300%", out], check=True)
    print("screenshot: %s" % out)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/win64")
    parser.add_argument("--out", default="docs")
    args = parser.parse_args()
    source = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
    world = usbsim.WineWorld(args.build, source)
    subprocess.run(["wine", "reg", "delete", "HKLM\\Software\\ZorvikTouchParam", "/f"],
                   env=world.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # Both services' click-change events exist, so no "Fatal Error" box comes first.
    counters = [world.start("tools/touchctl/touchctl.exe", "count-event", name, "15000")
                for name in ("MERIDAX_TOUCH_EVENT_3F98A_CLICKCHANGE",
                             "MERIDAX_STOUCH_EVENT_3F98A_CLICKCHANGE")]
    time.sleep(0.5)
    tool = world.start("clicktool/Clicktog.exe")
    try:
        shot(world, os.path.join(args.out, "clicktog-left.png"))
        world.run("testkit/uictl/uictl.exe", "click", "Touch Click Control")
        shot(world, os.path.join(args.out, "clicktog-right.png"))
    finally:
        world.run("testkit/uictl/uictl.exe", "cancel", "Touch Click Control")
        tool.wait(timeout=10)
        for counter in counters:
            counter.wait(timeout=20)


if __name__ == "__main__":
    main()
