"""Orbisk /calibrate end to end under Wine: a finger on a simulated controller reaches the kiosk
calibration window through Usblink and the X server's pointer. A stray touch is refused and its
target redone; a screen 30 mm off has all its good touches accepted; afterwards taps land where
the finger is; the errors are stored and reported; timeout, Esc and a failed check exit with
their codes and leave the calibration that was in force."""

import json
import os
import shutil
import subprocess
import time

from orbisk_fixture import ORBISK, OrbiskTest
from usblink_fixture import BUILD, SOURCE

WIDTH, HEIGHT = 1024, 768
SENSOR_SPAN = 16384
MM = 25.4 / 96  # Wine's display: 96 pixels to the inch
CAPTION = "Orbisk calibration"
TARGETS_5 = [(102, 76), (512, 384), (922, 76), (922, 692), (102, 692)]
CHECK = (716, 576)
RED = (255, 0, 0)


class KioskCalibration(OrbiskTest):
    def setUp(self):
        super().setUp()
        self.kiosk = None
        self.screen = (1.0, 1.0, 0.0, 0.0, 0.0)

    def tearDown(self):
        if self.kiosk is not None and self.kiosk.poll() is None:
            self.kiosk.kill()
        super().tearDown()

    def misalign(self, scale_x, scale_y, shear, offset_x, offset_y):
        """The screen reports a finger at (x, y) at (sx·x + shear·y + ox, sy·y + oy)."""
        self.screen = (scale_x, scale_y, shear, offset_x, offset_y)

    def sensor_for(self, x, y):
        sx, sy, shear, ox, oy = self.screen
        raw_x, raw_y = sx * x + shear * y + ox, sy * y + oy
        return round(raw_x * SENSOR_SPAN / WIDTH), round(raw_y * SENSOR_SPAN / HEIGHT)

    def tap(self, x, y):
        sensor = self.sensor_for(x, y)
        self.controller.down(*sensor)
        self.controller.up(*sensor)
        self.mouse.wait_for(3, timeout=5)
        time.sleep(0.35)  # past the 200 ms a touch must keep from the one before

    def pointer_at(self):
        out = subprocess.run(["xdotool", "getmouselocation"], env=self.world.env, check=True,
                             capture_output=True, text=True).stdout.split()
        return tuple(int(field.split(":")[1]) for field in out[:2])

    def serve(self):
        self.add_mouse(drive_pointer=True)
        self.controller = self.add_controller(0)
        self.start_usblink()
        self.wait_served([self.controller])
        self.set_dword("General", "MouseMode", 2)  # raw positions: no smoothing between taps
        self.assertEqual(self.touchctl("set", "usb", "setupchange")[0], 0)
        time.sleep(0.5)

    def calibrate(self, *args):
        log = os.path.join(BUILD, "sim", "kiosk-%s.log" % self.id().split(".")[-1])
        self.kiosk = self.world.start(ORBISK, "/calibrate", *args, log=log)

        def shown():
            return any(w["title"] == CAPTION for w in self.ui_lines("windows"))
        self.wait_until(shown, 20, "the calibration window")
        time.sleep(0.6)  # past the start's two signal pauses and the first paint
        return self.kiosk

    def exit_code(self, timeout=15):
        return self.kiosk.wait(timeout=timeout)

    def shot(self, name):
        path = os.path.join(self.sim_dir, name)
        subprocess.run(["import", "-window", "root", path], env=self.world.env, check=True)
        if os.environ.get("ZORVIK_KIOSK_SHOTS"):
            shutil.copy(path, os.path.join(SOURCE, "docs", name))

    def general_texts(self):
        result = subprocess.run(["wine", "reg", "query", "HKLM\\Software\\ZorvikTouchParam\\General"],
                                env=self.world.env, capture_output=True)
        values = {}
        for line in result.stdout.decode("latin-1").splitlines():
            fields = line.split(None, 2)
            if len(fields) == 3 and fields[0].startswith("MON00"):
                values[fields[0][5:]] = fields[2]
        return values

    def report(self):
        code, out = self.touchctl("calibration", "--json")
        self.assertEqual(code, 0, self.world.last_error)
        return json.loads(out.splitlines()[0])

    def assert_taps_land(self):
        time.sleep(1.0)  # Usblink loads the new matrix at the setup change
        for x, y in ((600, 300), (200, 650), (900, 120)):
            self.tap(x, y)
            at = self.pointer_at()
            self.assertLessEqual(max(abs(at[0] - x), abs(at[1] - y)), 2,
                                 "a tap at (%d, %d) landed at %s" % (x, y, at))

    def test_a_stray_touch_is_refused_and_redone_and_taps_then_land(self):
        self.serve()
        self.misalign(0.95, 1.04, 0.05, 25, -15)
        self.calibrate("/points", "5")
        for k, (x, y) in enumerate(TARGETS_5):
            if k == 3:
                # 45 mm left of the target: where the first three touches say it cannot be.
                self.tap(x - round(45 / MM), y)
                time.sleep(0.2)
                shot = self.screen_pixels({"x": x - 30, "y": y - 30, "w": 61, "h": 61})
                self.assertIn(RED, shot, "no refusal mark")
                self.shot("kiosk-refusal.png")
                time.sleep(1.2)  # the mark shows for a second, then the target waits again
            self.tap(x, y)
        self.tap(*CHECK)
        time.sleep(0.3)
        self.shot("kiosk-result.png")
        self.assertEqual(self.exit_code(), 0)
        report = self.report()
        self.assertIsNotNone(report["checkErrorUm"])
        self.assertLess(report["checkErrorUm"], 2000)
        self.assertLess(report["fitErrorUm"], 2000)
        self.assertRegex(report["calibratedAt"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        self.assert_taps_land()

    def test_a_screen_thirty_millimetres_off_has_every_good_touch_accepted(self):
        self.serve()
        self.misalign(1.0, 1.0, 0.0, round(21 / MM), round(21 / MM))  # 30 mm down and right
        self.calibrate("/points", "9", "/timeout", "5")
        grid = [(102, 76), (512, 384), (922, 76), (922, 692), (102, 692), (512, 76), (922, 384),
                (512, 692), (102, 384)]
        for x, y in grid + [CHECK]:
            self.tap(x, y)
        # A refused touch would wait for its redo until the timeout (code 1).
        self.assertEqual(self.exit_code(), 0)
        code, out = self.touchctl("calibration")
        self.assertIn("monitor 00:", out)
        self.assertIn("check error 0.", out)
        self.assert_taps_land()

    def test_timeout_esc_and_a_failed_check_leave_the_calibration_in_force(self):
        self.serve()
        self.misalign(0.97, 0.97, 0.0, 10, 10)
        before = {"An": "2", "Cn": "-7", "Divider": "2", "X": "0"}
        for name, text in before.items():
            self.assertEqual(self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\General", "/v",
                                      "MON00" + name, "/d", text, "/f"), 0)

        def in_force():
            texts = self.general_texts()
            return {name: texts.get(name) for name in before}

        started = time.monotonic()
        self.calibrate("/timeout", "3")
        self.assertEqual(self.world.run(ORBISK, "/calibrate")[0], 4)  # one instance at a time
        self.assertEqual(self.exit_code(), 1)
        self.assertLess(time.monotonic() - started, 10)
        self.assertEqual(in_force(), before)

        self.calibrate()
        self.tap(*TARGETS_5[0])
        self.xdotool("key", "Escape")
        self.assertEqual(self.exit_code(), 1)
        self.assertEqual(in_force(), before)

        self.calibrate("/max-error", "0.5")
        for x, y in TARGETS_5:
            self.tap(x, y)
        self.tap(CHECK[0] + 12, CHECK[1] + 9)  # 15 px = 4 mm off
        self.assertEqual(self.exit_code(), 3)
        self.assertEqual(in_force(), before)
        self.assertNotIn("CheckErrorUm", self.general_texts())
