"""Test world for the control panel under Wine: the services' world (clean registry, touchctl,
simulated USB and serial controllers, Usblink and Serlink) plus Orbisk driven as a person drives it, with real pointer and key input
through the X server (xdotool), and read back through uictl and the registry."""

import json
import os
import subprocess
import time
import unittest.mock

from serlink_fixture import SerlinkTest
from usblink_fixture import BUILD, SOURCE, USBLINK, usbsim

ORBISK = "panel/win32/Orbisk.exe"
UICTL = "testkit/uictl/uictl.exe"
SIGNAL = "testkit/panel/panel_signal.exe"
SHEET = "Orbisk Touch Controller System"
TABS = ["Touch Device", "Setup", "Option/Tools", "Multi Monitor Display", "Multipoint Touch",
        "Popup Control", "Information"]
IDOK, IDCANCEL, ID_APPLY = 1, 2, 0x3021
USB_SETUP = "Global\\MERIDAX_TOUCH_EVENT_3F98A_SETUPCHANGE"
SERIAL_SETUP = "Global\\MERIDAX_STOUCH_EVENT_3F98A_SETUPCHANGE"
SERIAL_RESCAN = "Global\\MERIDAX_STOUCH_EVENT_3F98A_RESCANDEVICE"
GENERAL = "General"


class OrbiskTest(SerlinkTest):
    """Each test starts from an empty product key, no panel, no service and a system
    double-click time of 500 ms. `start()` starts Serlink, `start_usblink()` Usblink."""

    def setUp(self):
        super().setUp()
        self.panel = None
        self.usblink = None
        self.reg("add", "HKCU\\Control Panel\\Mouse", "/v", "DoubleClickSpeed", "/d", "500", "/f")
        # The time in force too: a test that moved the speed slider set it for the session.
        self.assertEqual(self.world.run_tool(UICTL, "double-click-time", "500")[0], 0)

    def tearDown(self):
        if self.panel is not None and self.panel.poll() is None:
            self.world.run_tool(UICTL, "cancel", SHEET)
            try:
                self.panel.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.panel.kill()
        if self.usblink is not None and self.usblink.poll() is None:
            self.touchctl("set", "usb", "exit")
            try:
                self.usblink.wait(timeout=15)
            except subprocess.TimeoutExpired:
                self.usblink.kill()
        super().tearDown()

    def start_usblink(self):
        self.usblink = self.world.start(USBLINK, log=os.path.join(BUILD, "sim", "usblink.log"))
        return self.usblink

    def signal(self, role=None):
        """panel_signal: which of the four events the panel finds, and sets the one of `role`."""
        code, out = self.world.run(SIGNAL, *([role] if role else ["none"]))
        return json.loads(out.splitlines()[0])

    # The panel.
    def open_panel(self):
        self.panel = self.world.start(ORBISK)
        code, out = self.world.run_tool(UICTL, "wait-window", SHEET, "20000")
        self.assertEqual(code, 0, "no panel window")
        time.sleep(0.3)
        return json.loads(out)

    def ui_lines(self, *args):
        code, out = self.world.run_tool(UICTL, *args)
        self.assertEqual(code, 0, "uictl %s: %s" % (" ".join(args), self.world.last_error))
        return [json.loads(line) for line in out.splitlines() if line.strip()]

    def controls(self):
        """The sheet's visible controls by identifier (the shown page's and the sheet's own)."""
        return {c["id"]: c for c in self.ui_lines("controls", SHEET) if c["visible"]}

    def tabs(self):
        return self.ui_lines("tabs", SHEET)

    def rows(self, list_id=1000):
        return self.ui_lines("list-rows", SHEET, str(list_id))

    def checked(self, ids):
        controls = self.controls()
        return [i for i in ids if controls[i]["checked"] == 1]

    # Real input.
    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.world.env, check=True)
        time.sleep(0.2)

    def click_at(self, box, repeat=1, delay_ms=100):
        x, y = box["x"] + box["w"] // 2, box["y"] + box["h"] // 2
        self.xdotool("mousemove", str(x), str(y), "click", "--repeat", str(repeat), "--delay",
                     str(delay_ms), "1")

    def click(self, control_id):
        self.click_at(self.controls()[control_id])

    def show_tab(self, caption):
        tab = next(t for t in self.tabs() if t["text"] == caption)
        self.click_at(tab)
        self.wait_until(lambda: next(t for t in self.tabs() if t["text"] == caption)["selected"],
                        5, "the %s tab" % caption)
        time.sleep(0.3)

    def keys(self, *names):
        self.xdotool("key", "--delay", "100", *names)

    def close_with(self, button_id):
        self.click(button_id)
        self.assertEqual(self.panel.wait(timeout=10), 0)

    # What the panel left behind.
    def general(self, name):
        result = subprocess.run(["wine", "reg", "query",
                                 "HKLM\\Software\\ZorvikTouchParam\\" + GENERAL, "/v", name],
                                env=self.world.env, capture_output=True)
        for line in result.stdout.decode("latin-1").splitlines():
            if line.strip().startswith(name + " ") or line.strip().startswith(name + "\t"):
                return int(line.split()[-1], 16)
        return None

    def screen_pixels(self, box):
        """The colours (r, g, b) of a screen rectangle, from a screenshot of the X server."""
        shot = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
            box["w"], box["h"], box["x"], box["y"]), "+repage", "-depth", "8", "txt:-"],
            env=self.world.env, capture_output=True, check=True).stdout.decode()
        pixels = []
        for line in shot.splitlines()[1:]:
            colour = line.split(":", 1)[1].strip()
            pixels.append(tuple(int(v) for v in colour[1:colour.index(")")].split(",")[:3]))
        return pixels

    def double_click_time(self):
        return self.ui_lines("double-click-time")[0]["double_click_time"]

    def count_events(self, *names, seconds=30):
        """Counters standing in for services' events; each returns its final count."""
        counters = [self.start_waiter("count-event", name, str(seconds * 1000)) for name in names]
        return [lambda c=c: c(timeout=seconds + 15)[1][-1]["count"] for c in counters]


class TwoMonitorWorld(usbsim.WineWorld):
    """A second prefix of the build tree whose X server has two Xinerama screens, 1024 x 768 and
    800 x 600, which Wine reports as two monitors (both at the origin: Wine 8 places Xinerama
    screens there). Its wineserver and X server are ended by `down()`."""

    SCREENS = ("1024x768x24", "800x600x24")

    def __init__(self, build_dir, source_dir):
        # As WineWorld's, with another prefix and this X server in place before world.sh runs.
        self.build_dir = os.path.abspath(build_dir)
        self.source_dir = os.path.abspath(source_dir)
        self.prefix = os.path.join(self.build_dir, "wineprefix-two-monitors")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        # world.sh keeps using an X server that its display file names while it runs.
        self._start_display()
        subprocess.run([os.path.join(self.source_dir, "tests/wine/world.sh"), "up", self.prefix],
                       check=True)
        with open(self.prefix + ".display") as display:
            self.env["DISPLAY"] = ":" + display.read().split()[0]
        self.dosdevices = os.path.join(self.prefix, "dosdevices")

    def _start_display(self):
        display_file = self.prefix + ".display"
        if os.path.exists(display_file):
            with open(display_file) as display:
                fields = display.read().split()
            if len(fields) == 2 and os.path.exists("/proc/%s" % fields[1]):
                return
        os.makedirs(os.path.dirname(self.prefix), exist_ok=True)
        screens = []
        for number, geometry in enumerate(self.SCREENS):
            screens += ["-screen", str(number), geometry]
        for number in range(131, 171):
            if (os.path.exists("/tmp/.X11-unix/X%d" % number) or
                    os.path.exists("/tmp/.X%d-lock" % number)):
                continue
            with open(self.prefix + ".xvfb.log", "wb") as log:
                server = subprocess.Popen(
                    ["Xvfb", ":%d" % number, "-extension", "RANDR", "+xinerama", *screens,
                     "-nolisten", "tcp"], stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                    start_new_session=True)
            for _ in range(50):
                if os.path.exists("/tmp/.X11-unix/X%d" % number) or server.poll() is not None:
                    break
                time.sleep(0.1)
            if server.poll() is None and os.path.exists("/tmp/.X11-unix/X%d" % number):
                with open(display_file, "w") as display:
                    display.write("%d %d\n" % (number, server.pid))
                return
        raise RuntimeError("cannot start a two-screen Xvfb (see %s.xvfb.log)" % self.prefix)

    @staticmethod
    def down(build_dir, source_dir):
        """Ends the world's Wine processes and its X server, if they run."""
        prefix = os.path.join(os.path.abspath(build_dir), "wineprefix-two-monitors")
        subprocess.run([os.path.join(source_dir, "tests/wine/world.sh"), "down", prefix],
                       check=False)


class TwoMonitorOrbiskTest(OrbiskTest):
    """OrbiskTest in the two-monitor world, which is brought down after the class's tests."""

    def setUp(self):
        with unittest.mock.patch.object(usbsim, "WineWorld", TwoMonitorWorld):
            super().setUp()

    @classmethod
    def tearDownClass(cls):
        TwoMonitorWorld.down(BUILD, SOURCE)
        super().tearDownClass()
