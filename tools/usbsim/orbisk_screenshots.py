#!/usr/bin/env python3
"""Screenshots of the real Orbisk sheet on each of its seven pages, under Wine and Xvfb, with a
simulated USB controller served by Usblink and a simulated serial controller found by Serlink,
so that the Touch Device page lists both. Writes docs/orbisk-<page>.png for the README.

    python3 tools/usbsim/orbisk_screenshots.py [--build build/win64] [--out docs]"""

import argparse
import json
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "serialsim"))
import serialsim  # noqa: E402
import usbsim  # noqa: E402

SHEET = "Orbisk Touch Controller System"
UICTL = "tools/uictl/uictl.exe"
TOUCHCTL = "tools/touchctl/touchctl.exe"


def ui(world, *args):
    code, out = world.run(UICTL, *args)
    if code != 0:
        raise SystemExit("uictl %s failed: %s" % (" ".join(args), world.last_error))
    return [json.loads(line) for line in out.splitlines() if line.strip()]


def wait_for(what, condition, timeout=30):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if condition():
            return
        time.sleep(0.2)
    raise SystemExit("timed out waiting for %s" % what)


def listed(world):
    code, out = world.run(TOUCHCTL, "list")
    if code != 0:
        return False
    usb, serial = (json.loads(line) for line in out.splitlines()[:2])
    return (usb["usb"].get("NextInstanceCount") == 1 and
            serial["serial"].get("NextInstanceCount") == 1)


def shoot_pages(world, out):
    sheet = ui(world, "wait-window", SHEET, "20000")[0]
    for tab in ui(world, "tabs", SHEET):
        subprocess.run(["xdotool", "mousemove", str(tab["x"] + tab["w"] // 2),
                        str(tab["y"] + tab["h"] // 2), "click", "1"], env=world.env, check=True)
        time.sleep(0.8)
        name = tab["text"].lower().replace("/", "-").replace(" ", "-")
        path = os.path.join(out, "orbisk-%s.png" % name)
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
            sheet["w"], sheet["h"], sheet["x"], sheet["y"]), "+repage", path], env=world.env,
            check=True)
        print("screenshot: %s" % path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/win64")
    parser.add_argument("--out", default="docs")
    args = parser.parse_args()
    source = os.path.abspath(os.path.join(HERE, "..", ".."))
    world = usbsim.WineWorld(args.build, source)
    world.env = serialsim.preload_env(world.env, serialsim.shim_path(world.build_dir))
    serialsim.remove_com_links(world.prefix)
    subprocess.run(["wine", "reg", "delete", "HKLM\\Software\\ZorvikTouchParam", "/f"],
                   env=world.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    folder = os.path.join(world.build_dir, "sim", "screenshots")
    mouse = usbsim.MouseStandIn(world, folder)
    usb = usbsim.SimController(world, 0, folder)
    serial = serialsim.SerialController(world.prefix, 5, answer="texts")
    services = [world.start("usbsvc/win32/Usblink.exe"),
                world.start("serialsvc/win32/Serlink.exe")]
    panel = None
    try:
        wait_for("Serlink's events", lambda: world.run(TOUCHCTL, "set", "serial",
                                                        "setupchange")[0] == 0)
        time.sleep(2.5)  # past Serlink's first rebuild
        world.run(TOUCHCTL, "set", "serial", "rescan")
        wait_for("both controllers to be listed", lambda: listed(world))
        panel = world.start("panel/win32/Orbisk.exe")
        os.makedirs(args.out, exist_ok=True)
        shoot_pages(world, args.out)
    finally:
        if panel is not None:
            world.run(UICTL, "cancel", SHEET)
            panel.wait(timeout=10)
        for service in ("usb", "serial"):
            world.run(TOUCHCTL, "set", service, "exit")
        for process in services:
            process.wait(timeout=20)
        usb.unplug()
        serial.close()
        mouse.close()


if __name__ == "__main__":
    main()
