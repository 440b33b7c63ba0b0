"""Orbisk's full-screen touch screen dialog under Wine, driven with real clicks: the calibration
procedure and what it writes and signals, its placement, the single-point drawing test, and the
multi-point views fed by Usblink with a simulated controller or by a peer writing the sections
with counts far beyond what they hold. The dialog runs in touch_screen_launcher, which opens it
as the Option/Tools page does."""

import json
import os
import subprocess
import time

from orbisk_fixture import SERIAL_SETUP, USB_SETUP, OrbiskTest
from usblink_fixture import BUILD

LAUNCHER = "testkit/panel/touch_screen_launcher.exe"
CALIBRATION, DRAWING_TEST, MULTITOUCH_VIEW = 0, 1, 2
MATRIX = ["An", "Bn", "Cn", "Dn", "En", "Fn", "Divider"]
IDENTITY = {"X": 0, "Y": 0, "XZOOMA": 10000, "YZOOMA": 10000, "An": 1, "Bn": 0, "Cn": 0,
            "Dn": 0, "En": 1, "Fn": 0, "Divider": 1}
BLACK, RED, YELLOW, WHITE = (0, 0, 0), (255, 0, 0), (255, 255, 0), (255, 255, 255)


def wrap(value):
    value &= 0xFFFFFFFF
    return value - (1 << 32) if value >= 1 << 31 else value


def expected_matrix(touched, width, height):
    """The three-point matrix of the recorded touches onto the targets of a width x height
    client area, in wrapping 32-bit arithmetic."""
    dx, dy = width // 10, height // 10
    (xs0, ys0), (xs1, ys1), (xs2, ys2) = touched[:3]
    (xd0, yd0), (xd1, yd1), (xd2, yd2) = (dx - 1, dy - 1), (width - dx - 1, dy - 1), (
        dx - 1, height - dy - 1)
    return {
        "Divider": wrap((xs0 - xs2) * (ys1 - ys2) - (xs1 - xs2) * (ys0 - ys2)),
        "An": wrap((xd0 - xd2) * (ys1 - ys2) - (xd1 - xd2) * (ys0 - ys2)),
        "Bn": wrap((xs0 - xs2) * (xd1 - xd2) - (xd0 - xd2) * (xs1 - xs2)),
        "Cn": wrap(ys0 * (xs2 * xd1 - xs1 * xd2) + ys1 * (xs0 * xd2 - xs2 * xd0) +
                   ys2 * (xs1 * xd0 - xs0 * xd1)),
        "Dn": wrap((yd0 - yd2) * (ys1 - ys2) - (yd1 - yd2) * (ys0 - ys2)),
        "En": wrap((xs0 - xs2) * (yd1 - yd2) - (yd0 - yd2) * (xs1 - xs2)),
        "Fn": wrap(ys0 * (xs2 * yd1 - xs1 * yd2) + ys1 * (xs0 * yd2 - xs2 * yd0) +
                   ys2 * (xs1 * yd0 - xs0 * yd1)),
    }


class TouchScreenTest(OrbiskTest):
    def setUp(self):
        super().setUp()
        self.dialog = None
        self.writers = []

    def tearDown(self):
        if self.dialog is not None and self.dialog.poll() is None:
            self.xdotool("key", "Escape")
            try:
                self.dialog.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.dialog.kill()
        for writer in self.writers:
            if writer.poll() is None:
                writer.kill()
        super().tearDown()

    def open_dialog(self, mode, multi_point=0, *extra):
        """Starts the dialog; returns its window once it is shown full size."""
        self.dialog_log = os.path.join(BUILD, "sim", "touch-screen-%s.log" % self.id().split(".")[-1])
        if os.path.exists(self.dialog_log):
            os.remove(self.dialog_log)
        self.dialog = self.world.start(LAUNCHER, "open", str(mode), str(multi_point), *extra,
                                       log=self.dialog_log)
        found = []

        def shown():
            found[:] = [w for w in self.ui_lines("windows")
                        if w["class"] == "#32770" and w["title"] == "" and w["w"] >= 300]
            return bool(found)
        self.wait_until(shown, 20, "the touch screen dialog")
        time.sleep(0.6)  # past the start's two signal pauses and the first paint
        return found[0]

    def dialog_result(self, timeout=10):
        self.assertEqual(self.dialog.wait(timeout=timeout), 0)
        with open(self.dialog_log, encoding="latin-1") as log:
            return [json.loads(line) for line in log if line.startswith("{")][-1]["result"]

    def click_exit(self, window):
        self.xdotool("mousemove", str(window["x"] + window["w"] - 25),
                     str(window["y"] + window["h"] - 25), "click", "1")

    def touch(self, x, y):
        self.xdotool("mousemove", str(x), str(y), "click", "1")

    def general_values(self, monitor=0):
        """The per-monitor values under General, as the numbers their texts hold."""
        result = subprocess.run(["wine", "reg", "query", "HKLM\\Software\\ZorvikTouchParam\\General"],
                                env=self.world.env, capture_output=True)
        prefix = "MON%02d" % monitor
        values = {}
        for line in result.stdout.decode("latin-1").splitlines():
            fields = line.split()
            if len(fields) == 3 and fields[0].startswith(prefix) and fields[1] == "REG_SZ":
                values[fields[0][len(prefix):]] = int(fields[2])
        return values

    def pixel(self, x, y):
        return self.screen_pixels({"x": x, "y": y, "w": 1, "h": 1})[0]

    def write_sections(self, *counts, ms=8000):
        log = os.path.join(BUILD, "sim", "touch-sections-%d.log" % len(self.writers))
        writer = self.world.start(LAUNCHER, "sections", *[str(c) for c in counts], str(ms), log=log)
        self.writers.append(writer)
        def written():
            if not os.path.exists(log):
                return False
            with open(log, encoding="latin-1") as out:
                return "written" in out.read()
        self.wait_until(written, 15, "the sections to be written")
        return writer

    def cpu_seconds(self, process):
        with open("/proc/%d/stat" % process.pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    # Texts drawn by the views, compared with how the same font draws them.
    def text_mask(self, text):
        code, out = self.world.run(LAUNCHER, "text-mask", text)
        self.assertEqual(code, 0)
        return json.loads(out.splitlines()[0])

    def shows_text(self, x, y, text, background=BLACK):
        mask = self.text_mask(text)
        pixels = self.screen_pixels({"x": x, "y": y, "w": mask["w"], "h": mask["h"]})
        seen = ["".join("." if pixels[row * mask["w"] + col] == background else "#"
                        for col in range(mask["w"])) for row in range(mask["h"])]
        return seen == mask["rows"]


class Calibration(TouchScreenTest):
    def test_four_real_touches_write_the_matrix_of_the_first_three(self):
        self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\General", "/v", "MON00An", "/d", "7",
                 "/f")
        self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\General", "/v", "MON00X", "/d", "40",
                 "/f")
        usb, serial = self.count_events(USB_SETUP, SERIAL_SETUP, seconds=25)
        window = self.open_dialog(CALIBRATION)
        self.assertEqual((window["x"], window["y"], window["w"], window["h"]), (0, 0, 1024, 768))
        self.assertTrue(window["topmost"])
        # The identity set is in force before the first target is touched.
        self.assertEqual(self.general_values(), IDENTITY)
        touched = [(110, 80), (915, 90), (98, 700), (500, 400)]
        for x, y in touched[:3]:
            self.touch(x, y)
        self.assertIsNone(self.dialog.poll())
        self.touch(*touched[3])
        self.assertEqual(self.dialog_result(), 0)
        expected = dict(IDENTITY, **expected_matrix(touched, 1024, 768))
        self.assertNotEqual(expected["Divider"], 0)
        self.assertEqual(self.general_values(), expected)
        # Two signals at the start, one from the opener at the end.
        self.assertEqual((usb(), serial()), (3, 3))

    def test_collinear_touches_leave_the_identity_set(self):
        self.open_dialog(CALIBRATION)
        for x, y in [(100, 100), (300, 300), (500, 500), (900, 700)]:
            self.touch(x, y)
        self.assertEqual(self.dialog_result(), 0)
        self.assertEqual(self.general_values(), IDENTITY)

    def test_exit_after_two_touches_leaves_the_identity_and_tells_both_services(self):
        self.set_dword("MonitorMaps", "MultiMonSupport", 0)  # no ActiveMonitor value
        self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\General", "/v", "MON00Divider", "/d",
                 "99", "/f")
        usb, serial = self.count_events(USB_SETUP, SERIAL_SETUP, seconds=20)
        window = self.open_dialog(CALIBRATION)
        self.touch(110, 80)
        self.touch(915, 90)
        self.click_exit(window)
        self.assertEqual(self.dialog_result(), 0)
        self.assertEqual(self.general_values(), IDENTITY)
        self.assertEqual(self.value_of("MonitorMaps", "ActiveMonitor"), 0)  # created as 0
        self.assertEqual((usb(), serial()), (3, 3))

    def test_escape_leaves_as_exit_does_on_the_active_monitor(self):
        self.set_dword("MonitorMaps", "ActiveMonitor", 2)
        self.open_dialog(CALIBRATION)
        self.touch(110, 80)
        self.xdotool("key", "Escape")
        self.assertEqual(self.dialog_result(), 0)
        self.assertEqual(self.general_values(2), IDENTITY)
        self.assertEqual(self.general_values(0), {})

    def test_stretch_mode_puts_active_monitor_1_on_the_right_half_of_monitor_0(self):
        self.set_dword("MonitorMaps", "MultiMonSupport", 1)
        self.set_dword("MonitorMaps", "MultiMonMode", 2)
        self.set_dword("MonitorMaps", "ActiveMonitor", 1)
        window = self.open_dialog(CALIBRATION)
        self.assertEqual((window["x"], window["y"], window["w"], window["h"]), (512, 0, 512, 768))
        # The targets follow the window's client area: the first at a tenth of its size.
        ring = {"x": 512 + 51 + 8, "y": 74, "w": 5, "h": 5}  # the ring's right side
        self.wait_until(lambda: {RED, YELLOW} & set(self.screen_pixels(ring)), 3,
                        "the first target")
        self.click_exit(window)
        self.assertEqual(self.dialog_result(), 0)

    def value_of(self, key, name):
        result = subprocess.run(["wine", "reg", "query", "HKLM\\Software\\ZorvikTouchParam\\" + key,
                                 "/v", name], env=self.world.env, capture_output=True)
        for line in result.stdout.decode("latin-1").splitlines():
            fields = line.split()
            if len(fields) == 3 and fields[0] == name:
                return int(fields[2], 16)
        return None


class DrawingTest(TouchScreenTest):
    def test_clicks_and_a_drag_leave_crosses_and_a_white_line(self):
        self.open_dialog(DRAWING_TEST, 0)
        self.touch(600, 500)  # press and release in one place: the red cross covers the yellow
        self.xdotool("mousemove", "300", "300", "mousedown", "1")
        self.xdotool("mousemove", "350", "320")
        self.xdotool("mousemove", "400", "350", "mouseup", "1")
        time.sleep(0.3)
        self.assertEqual(self.pixel(604, 504), RED)
        self.assertEqual(self.pixel(596, 504), RED)
        self.assertEqual(self.pixel(304, 304), YELLOW)   # where the drag began
        self.assertEqual(self.pixel(396, 354), RED)      # where it ended
        self.assertEqual(self.pixel(325, 310), WHITE)    # on the first stroke
        self.assertEqual(self.pixel(250, 250), BLACK)    # nothing elsewhere
        self.assertTrue(self.shows_text(512, 0, "X:000400, Y:000350", background=WHITE))
        self.xdotool("key", "Return")
        self.assertEqual(self.dialog_result(), 0)
        self.assertEqual(self.general_values(), {})  # the drawing test writes nothing


class MultiPointViews(TouchScreenTest):
    def two_fingers(self, mode):
        self.set_dword("General", "ScreenRotateFlag", 0)
        self.add_mouse()
        controller = self.add_controller(0)
        self.start_usblink()
        self.wait_served([controller])
        window = self.open_dialog(mode, 1)
        controller.fingers([(4000, 4000, 3), (12000, 12000, 3)])  # one frame only
        # The dialog takes the auto-reset point event itself; the sections are read directly.
        self.wait_until(lambda: self.points().get("rows") == 2, 10, "the two fingers")
        time.sleep(0.8)
        return window, controller, self.points()

    def points(self):
        code, out = self.touchctl("points")
        if code != 0:
            return {}
        return [json.loads(line) for line in out.splitlines() if line.strip()][-1]["points"]

    def test_point_view_lists_and_circles_the_published_points(self):
        window, controller, section = self.two_fingers(DRAWING_TEST)
        self.assertTrue(self.shows_text(5, 60, "Multi-Point Coordinate"))
        self.assertTrue(self.shows_text(5, 80, "State=Touch down"))
        touches = [r for r in section["records"]
                   if r["status"] == 1 and r["r"] < section["rows"] and r["c"] < section["cols"]]
        self.assertEqual(len(touches), 2)
        for n, record in enumerate(touches):
            text = "P(%02d,%02d)=(%06d,%06d)" % (record["r"], record["c"], record["x"], record["y"])
            self.assertTrue(self.shows_text(5, 100 + 20 * n, text), text)
            self.assertEqual(self.pixel(record["x"], record["y"]), RED)
        self.assertFalse(self.shows_text(5, 140, "P(00,00)=(000000,000000)"))
        # "Exit" stays above the frames: its face, not the background, fills the button.
        button = self.screen_pixels({"x": window["x"] + window["w"] - 50,
                                     "y": window["y"] + window["h"] - 50, "w": 50, "h": 50})
        face = max(set(button), key=button.count)
        self.assertNotIn(face, (BLACK, (100, 100, 100), (140, 140, 140)))
        controller.fingers([])
        self.wait_until(lambda: self.shows_text(5, 80, "State=Touch up  "), 5, "the lift")
        self.click_exit(window)
        self.assertEqual(self.dialog_result(), 0)

    def test_cell_view_fills_the_crossings_of_shadowed_columns_and_rows(self):
        window, _, _ = self.two_fingers(MULTITOUCH_VIEW)
        # 64 x 48 cells of 16 pixels; the fingers shade X cells 14..16 and 45..47, Y cells 10..12
        # and 33..35, at level 100: white ellipses at all 36 crossings (ghosts included).
        for i, j in [(15, 11), (46, 34), (15, 34), (46, 11)]:
            self.assertEqual(self.pixel(i * 16 + 8, j * 16 + 8), WHITE, (i, j))
        self.assertNotEqual(self.pixel(30 * 16 + 8, 20 * 16 + 8), WHITE)
        self.click_exit(window)
        self.assertEqual(self.dialog_result(), 0)

    def test_hostile_counts_in_the_sections_neither_crash_nor_stall_the_views(self):
        # Any process may write the sections: 0x7FFFFFFF rows and columns, 65535 cells per axis.
        self.write_sections(1, 0x7FFFFFFF, 0x7FFFFFFF, 0xFFFF, 0xFFFF)
        for mode in (DRAWING_TEST, MULTITOUCH_VIEW):
            window = self.open_dialog(mode, 1)
            time.sleep(1.5)
            self.assertIsNone(self.dialog.poll())
            if mode == DRAWING_TEST:
                self.assertTrue(self.shows_text(5, 100, "P(00,00)=(000000,000000)"))
            started = time.monotonic()
            self.click_exit(window)
            self.assertEqual(self.dialog_result(), 0)
            self.assertLess(time.monotonic() - started, 5)

    def test_without_the_usb_service_the_view_waits_quietly_and_exit_ends_it(self):
        window = self.open_dialog(DRAWING_TEST, 1, "noevents")
        before = self.cpu_seconds(self.dialog)
        time.sleep(3)
        self.assertLess(self.cpu_seconds(self.dialog) - before, 0.5)  # no spinning
        self.assertEqual(self.pixel(5 + 2, 80 + 2), BLACK)  # no frame was drawn
        started = time.monotonic()
        self.click_exit(window)
        self.assertEqual(self.dialog_result(), 0)
        self.assertLess(time.monotonic() - started, 3)


if __name__ == "__main__":
    import unittest
    unittest.main()
