"""Orbisk's Option/Tools page under Wine, driven with real clicks, holds and keys: the values shown
for an empty registry, the correction buttons writing and signalling at every press (held buttons
repeating), the zoom floor, the active monitor, "Auto calibration ", the touch screen dialog in its
three modes, and Clicktog started from a folder with a blank (a stand-in that logs its command
line)."""

import os
import shutil
import signal
import subprocess
import time

from orbisk_fixture import ID_APPLY, IDCANCEL, IDOK, SERIAL_SETUP, USB_SETUP, OrbiskTest
from usblink_fixture import BUILD, wine_processes

TAB = "Option/Tools"
FIELDS = [1045, 1046, 1049, 1050]  # X offset, Y offset, X zoom, Y zoom
UP, DOWN, LEFT, RIGHT, OFFSET_RESET = 1007, 1006, 1008, 1009, 1047
X_ZOOM_MINUS, X_ZOOM_PLUS, Y_ZOOM_MINUS, Y_ZOOM_PLUS, ZOOM_RESET = 1054, 1056, 1058, 1057, 1048
RIGHT_CLICK_TOOL, CALIBRATION, AUTO_CALIBRATION = 1003, 1005, 1060
TOUCH_TEST, MULTITOUCH_VIEW, MULTI_POINT, SINGLE_POINT, ALWAYS_SHOW = 1021, 1022, 1023, 1024, 1041
IDENTITY = {"An": "1", "Bn": "0", "Cn": "0", "Dn": "0", "En": "1", "Fn": "0", "Divider": "1"}
# Any program that logs "started <command line>" beside itself will do as Clicktog.
STANDIN = os.path.join(BUILD, "testkit", "panel", "Popdeck.exe")


class OptionToolsTest(OrbiskTest):
    def setUp(self):
        super().setUp()
        self.drive_c = os.path.join(self.world.prefix, "drive_c")
        self.folder = os.path.join(self.drive_c, "Zorvik Touch")
        for path in (os.path.join(self.folder, "Clicktog.log"),
                     os.path.join(self.drive_c, "Zorvik.log")):
            if os.path.exists(path):
                os.remove(path)

    def tearDown(self):
        super().tearDown()
        for name in ("Clicktog.exe", "Zorvik.exe"):
            for pid in wine_processes(self.world, name):
                os.kill(pid, signal.SIGKILL)

    def text(self, name):
        """A General value's text; None when it is missing."""
        result = subprocess.run(["wine", "reg", "query",
                                 "HKLM\\Software\\ZorvikTouchParam\\General", "/v", name],
                                env=self.world.env, capture_output=True)
        for line in result.stdout.decode("latin-1").splitlines():
            fields = line.split()
            if fields[:2] == [name, "REG_SZ"]:
                return fields[2] if len(fields) > 2 else ""
        return None

    def set_text(self, name, text):
        self.assertEqual(self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\General", "/v", name,
                                  "/d", text, "/f"), 0)

    def shown(self):
        controls = self.controls()
        return [controls[i]["text"] for i in FIELDS]

    def open_tab(self):
        self.open_panel()
        self.show_tab(TAB)

    def centre(self, control_id):
        box = self.controls()[control_id]
        return box["x"] + box["w"] // 2, box["y"] + box["h"] // 2

    def hold(self, control_id, seconds):
        """Presses the button, keeps the pointer on it and lets go; the time actually held."""
        x, y = self.centre(control_id)
        started = time.monotonic()
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "mousedown", "1", "sleep",
                        str(seconds), "mouseup", "1"], env=self.world.env, check=True)
        held = time.monotonic() - started
        time.sleep(0.3)
        return held

    def full_screen_windows(self):
        return [w for w in self.ui_lines("windows")
                if w["title"] == "" and w["w"] >= 1024 and w["h"] >= 768]


class OptionToolsCorrection(OptionToolsTest):
    def test_empty_registry_first_right_stores_one_and_zero_and_cancel_keeps_it(self):
        usb, serial = self.count_events(USB_SETUP, SERIAL_SETUP, seconds=20)
        self.open_tab()
        self.assertEqual(self.shown(), ["0.000000", "0.000000", "100.000000", "100.000000"])
        controls = self.controls()
        self.assertEqual(self.checked([MULTI_POINT, SINGLE_POINT]), [SINGLE_POINT])
        self.assertFalse(controls[ALWAYS_SHOW]["enabled"])
        self.assertEqual(controls[ALWAYS_SHOW]["text"], "Always show right click tool ")
        self.assertEqual(controls[AUTO_CALIBRATION]["text"], "Auto calibration ")
        self.assertFalse(controls[ID_APPLY]["enabled"])
        self.click(RIGHT)
        self.wait_until(lambda: self.text("MON00X") == "1", 5, "MON00X 1")
        self.assertEqual(self.text("MON00Y"), "0")
        self.assertIsNone(self.text("MON00XZOOMA"))
        self.assertEqual(self.shown(), ["0.010000", "0.000000", "100.000000", "100.000000"])
        self.assertTrue(self.controls()[ID_APPLY]["enabled"])
        self.close_with(IDCANCEL)
        self.assertEqual((self.text("MON00X"), self.text("MON00Y")), ("1", "0"))
        self.assertEqual((usb(), serial()), (1, 1))

    def test_left_five_times_gives_minus_five_and_ok_only_signals(self):
        usb, serial = self.count_events(USB_SETUP, SERIAL_SETUP, seconds=20)
        self.open_tab()
        self.click_at(self.controls()[LEFT], repeat=5, delay_ms=150)
        self.wait_until(lambda: self.text("MON00X") == "-5", 5, "MON00X -5")
        self.assertEqual(self.shown()[0], "-0.050000")
        self.click(DOWN)
        self.click(UP)
        self.click(UP)
        self.wait_until(lambda: self.text("MON00Y") == "-1", 5, "MON00Y -1")
        self.assertEqual(self.shown()[:2], ["-0.050000", "-0.010000"])
        self.click(OFFSET_RESET)
        self.wait_until(lambda: self.text("MON00X") == "0", 5, "MON00X 0")
        self.assertEqual(self.shown()[:2], ["0.000000", "0.000000"])
        self.close_with(IDOK)
        self.assertEqual(self.text("MON00Y"), "0")
        self.assertEqual((usb(), serial()), (10, 10))  # nine presses and OK

    def test_held_buttons_repeat_only_while_on_the_button_and_x_zoom_stops_at_zero(self):
        self.set_text("MON00XZOOMA", "30")
        self.open_tab()
        self.assertEqual(self.shown()[2], "0.300000")
        held = self.hold(X_ZOOM_MINUS, 2.0)
        self.wait_until(lambda: self.text("MON00XZOOMA") == "0", 5, "X zoom 0")
        self.assertEqual(self.text("MON00YZOOMA"), "10000")
        self.assertEqual(self.shown()[2:], ["0.000000", "100.000000"])
        self.assertGreater(held, 1.5)
        # Held about a second: the first repeat after 200 ms, then no more than one per 20 ms.
        held = self.hold(RIGHT, 1.0)
        time.sleep(0.5)
        steps = int(self.text("MON00X"))
        self.assertGreater(steps, 5)
        self.assertLessEqual(steps, 2 + int((held - 0.2) / 0.02))
        self.assertEqual(self.shown()[0], "%.6f" % (steps * 0.01))
        self.click(ZOOM_RESET)
        self.wait_until(lambda: self.text("MON00XZOOMA") == "10000", 5, "zoom reset")
        self.assertEqual(self.shown()[2:], ["100.000000", "100.000000"])
        # Pressed, then moved off and held there: no repeats, one step at the release.
        x, y = self.centre(UP)
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "mousedown", "1", "mousemove",
                        str(x), str(y + 150), "sleep", "0.8", "mouseup", "1"],
                       env=self.world.env, check=True)
        self.wait_until(lambda: self.text("MON00Y") != "0", 5, "the release's step")
        time.sleep(0.5)
        self.assertEqual(self.text("MON00Y"), "-1")
        self.assertEqual(self.shown()[1], "-0.010000")

    def test_active_monitor_2_reads_and_writes_monitor_02(self):
        self.set_dword("MonitorMaps", "ActiveMonitor", 2)
        self.set_text("MON02X", "7")
        self.set_text("MON02XZOOMA", "9000")
        self.set_text("MON00X", "100")
        self.open_tab()
        self.assertEqual(self.shown(), ["0.070000", "0.000000", "90.000000", "100.000000"])
        self.click(RIGHT)
        self.click(Y_ZOOM_PLUS)
        self.click(X_ZOOM_PLUS)
        self.wait_until(lambda: self.text("MON02XZOOMA") == "9001", 5, "MON02XZOOMA 9001")
        self.assertEqual([self.text(n) for n in ("MON02X", "MON02Y", "MON02YZOOMA")],
                         ["8", "0", "10001"])
        self.assertEqual(self.text("MON00X"), "100")
        self.assertIsNone(self.text("MON00XZOOMA"))
        self.assertEqual(self.shown(), ["0.080000", "0.000000", "90.010000", "100.010000"])

    def test_auto_calibration_signals_three_times_and_leaves_the_identity(self):
        for name in ["MON00X", "MON00Y", "MON00XZOOMA", "MON00YZOOMA"] + [
                "MON00" + n for n in IDENTITY]:
            self.set_text(name, "42")
        usb, serial = self.count_events(USB_SETUP, SERIAL_SETUP, seconds=20)
        self.open_tab()
        self.assertEqual(self.shown(), ["0.420000", "0.420000", "0.420000", "0.420000"])
        self.click(AUTO_CALIBRATION)
        self.wait_until(lambda: self.text("MON00Divider") == "1", 5, "the identity")
        self.assertEqual([self.text("MON00" + n) for n in IDENTITY], list(IDENTITY.values()))
        self.assertEqual([self.text(n) for n in ("MON00X", "MON00Y", "MON00XZOOMA",
                                                 "MON00YZOOMA")], ["0", "0", "10000", "10000"])
        self.assertEqual(self.shown(), ["0.000000", "0.000000", "100.000000", "100.000000"])
        self.assertTrue(self.controls()[ID_APPLY]["enabled"])
        self.close_with(IDCANCEL)
        self.assertEqual((usb(), serial()), (3, 3))


class OptionToolsButtons(OptionToolsTest):
    def test_right_click_tool_starts_clicktog_quoted_from_a_folder_with_a_blank(self):
        os.makedirs(self.folder, exist_ok=True)
        shutil.copy(STANDIN, os.path.join(self.folder, "Clicktog.exe"))
        # Where an unquoted "C:\Zorvik Touch\Clicktog.exe" would be looked for first.
        shutil.copy(STANDIN, os.path.join(self.drive_c, "Zorvik.exe"))
        self.open_tab()
        self.click(RIGHT_CLICK_TOOL)  # no Program key yet: nothing to start, nothing said
        time.sleep(1.0)
        self.assertEqual(len([w for w in self.ui_lines("windows") if w["title"]]), 1)
        self.assertFalse(wine_processes(self.world, "Clicktog.exe"))
        self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\Program", "/v", "TargetDir", "/d",
                 "C:\\Zorvik Touch", "/f")
        log = os.path.join(self.folder, "Clicktog.log")
        self.click(RIGHT_CLICK_TOOL)
        self.wait_until(lambda: os.path.exists(log), 10, "Clicktog to start")
        time.sleep(0.3)
        with open(log, encoding="latin-1") as started:
            self.assertEqual(started.read().splitlines(),
                             ['started "C:\\Zorvik Touch\\Clicktog.exe"'])
        self.assertFalse(os.path.exists(os.path.join(self.drive_c, "Zorvik.log")))
        self.assertFalse(self.controls()[ID_APPLY]["enabled"])

    def test_calibration_opens_full_screen_and_on_escape_marks_modified_and_signals(self):
        usb, serial = self.count_events(USB_SETUP, SERIAL_SETUP, seconds=25)
        self.open_tab()
        self.click(CALIBRATION)
        self.wait_until(lambda: self.full_screen_windows(), 10, "the calibration screen")
        time.sleep(0.5)
        self.keys("Escape")
        self.wait_until(lambda: not self.full_screen_windows(), 10, "the screen to close")
        self.assertTrue(self.controls()[ID_APPLY]["enabled"])
        self.close_with(IDCANCEL)
        # Two rounds as the screen starts, one when it has closed.
        self.assertEqual((usb(), serial()), (3, 3))
        self.assertEqual([self.text("MON00" + n) for n in IDENTITY], list(IDENTITY.values()))

    def test_touch_test_and_multitouch_view_open_full_screen_and_change_nothing(self):
        usb, serial = self.count_events(USB_SETUP, SERIAL_SETUP, seconds=25)
        self.open_tab()
        for radio in (MULTI_POINT, SINGLE_POINT):
            self.click(radio)
            self.assertEqual(self.checked([MULTI_POINT, SINGLE_POINT]), [radio])
            self.click(TOUCH_TEST)
            self.wait_until(lambda: self.full_screen_windows(), 10, "the drawing test")
            time.sleep(0.5)
            self.keys("Escape")
            self.wait_until(lambda: not self.full_screen_windows(), 10, "the test to close")
        self.click(MULTITOUCH_VIEW)
        self.wait_until(lambda: self.full_screen_windows(), 10, "the multitouch view")
        time.sleep(0.5)
        self.keys("Escape")
        self.wait_until(lambda: not self.full_screen_windows(), 10, "the view to close")
        self.assertFalse(self.controls()[ID_APPLY]["enabled"])
        self.close_with(IDCANCEL)
        self.assertEqual((usb(), serial()), (0, 0))
        self.assertIsNone(self.text("MON00An"))
