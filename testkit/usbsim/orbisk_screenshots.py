#!/usr/bin/env python3
"""Screenshots of the real Orbisk sheet on each of its seven pages, under Wine and Xvfb, with a
simulated USB controller served by Usblink and a simulated serial controller found by Serlink,
so that the Touch Device page lists both. Writes docs/orbisk-<page>.png for the docs, and
docs/orbisk-display*.png: the Multi Monitor Display page mapping a controller and its "Select
monitors" dialog, and the full-screen touch screen dialog: docs/orbisk-calibration.png,
orbisk-drawing-test.png, orbisk-point-view.png and orbisk-cell-view.png.

    python3 testkit/usbsim/orbisk_screenshots.py [--build build/win64] [--out docs]"""

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
UICTL = "testkit/uictl/uictl.exe"
TOUCHCTL = "tools/touchctl/touchctl.exe"
# The touch screen dialog in a given mode, as the Option/Tools page opens it.
LAUNCHER = "testkit/panel/touch_screen_launcher.exe"


def ui(world, *args):
    code, out = world.run_tool(UICTL, *args)
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
    for caption in [t["text"] for t in ui(world, "tabs", SHEET)]:
        # The tabs lie in two rows that change places when a tab of the other row is chosen.
        tab = next(t for t in ui(world, "tabs", SHEET) if t["text"] == caption)
        subprocess.run(["xdotool", "mousemove", str(tab["x"] + tab["w"] // 2),
                        str(tab["y"] + tab["h"] // 2), "click", "1"], env=world.env, check=True)
        time.sleep(0.8)
        name = tab["text"].lower().replace("/", "-").replace(" ", "-")
        path = os.path.join(out, "orbisk-%s.png" % name)
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
            sheet["w"], sheet["h"], sheet["x"], sheet["y"]), "+repage", path], env=world.env,
            check=True)
        print("screenshot: %s" % path)


def shoot_invalid_format(world, out):
    """The Multipoint Touch page's "Invalid format!" box, after the X start field is emptied."""
    sheet = ui(world, "wait-window", SHEET, "20000")[0]
    tab = next(t for t in ui(world, "tabs", SHEET) if t["text"] == "Multipoint Touch")
    subprocess.run(["xdotool", "mousemove", str(tab["x"] + tab["w"] // 2),
                    str(tab["y"] + tab["h"] // 2), "click", "1"], env=world.env, check=True)
    time.sleep(0.8)
    field = next(c for c in ui(world, "controls", SHEET) if c["id"] == 1065 and c["visible"])
    subprocess.run(["xdotool", "mousemove", str(field["x"] + field["w"] // 2),
                    str(field["y"] + field["h"] // 2), "click", "1", "key", "--delay", "100",
                    "End", "shift+Home", "BackSpace"], env=world.env, check=True)
    box = ui(world, "wait-window", "Error", "10000")[0]
    time.sleep(0.5)
    left, top = min(sheet["x"], box["x"]), min(sheet["y"], box["y"])
    right = max(sheet["x"] + sheet["w"], box["x"] + box["w"])
    bottom = max(sheet["y"] + sheet["h"], box["y"] + box["h"])
    path = os.path.join(out, "orbisk-invalid-format.png")
    subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
        right - left, bottom - top, left, top), "+repage", path], env=world.env, check=True)
    subprocess.run(["xdotool", "key", "Return"], env=world.env, check=True)
    print("screenshot: %s" % path)


def click(world, box, repeat=1):
    subprocess.run(["xdotool", "mousemove", str(box["x"] + box["w"] // 2),
                    str(box["y"] + box["h"] // 2), "click", "--repeat", str(repeat), "--delay",
                    "80", "1"], env=world.env, check=True)
    time.sleep(0.5)


def shoot_window(world, window, path):
    subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
        window["w"], window["h"], window["x"], window["y"]), "+repage", path], env=world.env,
        check=True)
    print("screenshot: %s" % path)


def shoot_display_mapping(world, out):
    """The Multi Monitor Display page while the USB controller is mapped to display 1: the
    "Select monitors" dialog, then the page in stretch mode with the new mapping (not applied)."""
    sheet = ui(world, "wait-window", SHEET, "20000")[0]
    tab = next(t for t in ui(world, "tabs", SHEET) if t["text"] == "Multi Monitor Display")
    click(world, tab)
    controls = {c["id"]: c for c in ui(world, "controls", SHEET) if c["visible"]}
    click(world, ui(world, "list-items", SHEET, "1005")[0])
    click(world, controls[1001])  # Mapping>>
    dialog = ui(world, "wait-window", "Select monitors", "10000")[0]
    time.sleep(0.5)
    shoot_window(world, dialog, os.path.join(out, "orbisk-display-select-monitors.png"))
    click(world, ui(world, "list-items", "Select monitors", "1037")[1], repeat=2)
    for control_id in (1036, 1024):  # Support multiple monitors, Stretch mode
        click(world, controls[control_id])
    shoot_window(world, sheet, os.path.join(out, "orbisk-display.png"))


def shoot_touch_screen(world, out, usb):
    """The full-screen touch screen dialog in its three modes, opened as the Option/Tools page
    opens it: the calibration screen after two targets, the drawing test with a traced path, and
    the point and cell views of two fingers on the simulated controller."""
    def screen(mode, multi_point, name, act):
        dialog = world.start(LAUNCHER, "open", str(mode), str(multi_point))
        wait_for("the touch screen dialog", lambda: any(
            w["class"] == "#32770" and w["title"] == "" and w["w"] >= 300
            for w in ui(world, "windows")))
        time.sleep(0.8)
        act()
        shoot_window(world, {"x": 0, "y": 0, "w": 1024, "h": 768},
                     os.path.join(out, "orbisk-%s.png" % name))
        subprocess.run(["xdotool", "key", "Escape"], env=world.env, check=True)
        dialog.wait(timeout=10)

    def xdotool(*args):
        subprocess.run(["xdotool", *args], env=world.env, check=True)
        time.sleep(0.15)

    def two_targets():
        for x, y in ((104, 78), (920, 75)):
            xdotool("mousemove", str(x), str(y), "click", "1")
        time.sleep(0.5)

    def trace():
        xdotool("mousemove", "200", "520", "mousedown", "1")
        for step in range(1, 25):
            xdotool("mousemove", str(200 + step * 25), str(int(520 - 300 * (step / 24) ** 0.5)))
        xdotool("mouseup", "1")
        xdotool("mousemove", "820", "600", "click", "1")

    def fingers():
        usb.fingers([(4000, 5000, 3), (11000, 10500, 4)])
        time.sleep(1.0)

    screen(0, 0, "calibration", two_targets)
    screen(1, 0, "drawing-test", trace)
    screen(1, 1, "point-view", fingers)
    screen(2, 1, "cell-view", fingers)
    usb.fingers([])


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
    services = [world.start_usblink(),
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
        shoot_display_mapping(world, args.out)
        shoot_invalid_format(world, args.out)
        shoot_touch_screen(world, args.out, usb)
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
