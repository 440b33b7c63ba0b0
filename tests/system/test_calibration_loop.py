"""The whole loop: a finger on a simulated controller reaches the touch screen dialog as real
pointer input (the virtual mouse stand-in passes Usblink's records on to the X server). The
calibration is computed from touches that the misaligned screen reports offset and scaled, and
once Usblink has loaded the new matrix a tap lands where the finger was; the drawing test draws
the stroke the finger traced."""

import subprocess
import time

from test_orbisk_touch_screen import CALIBRATION, DRAWING_TEST, RED, WHITE, YELLOW, \
    TouchScreenTest

WIDTH, HEIGHT = 1024, 768
SENSOR_SPAN = 16384
# The misaligned screen: the pixel a finger at (x, y) is reported at, before calibration.
SCALE_X, SCALE_Y, OFFSET_X, OFFSET_Y = 0.92, 0.95, 30, -12


def sensor_for(x, y):
    """What the controller reports for a finger at screen pixel (x, y)."""
    raw_x, raw_y = x * SCALE_X + OFFSET_X, y * SCALE_Y + OFFSET_Y
    return round(raw_x * SENSOR_SPAN / WIDTH), round(raw_y * SENSOR_SPAN / HEIGHT)


class CalibrationLoop(TouchScreenTest):
    def pointer_at(self):
        out = subprocess.run(["xdotool", "getmouselocation"], env=self.world.env, check=True,
                             capture_output=True, text=True).stdout.split()
        return tuple(int(field.split(":")[1]) for field in out[:2])

    def around(self, x, y, reach=4):
        """The colours of the square of pixels within `reach` of (x, y)."""
        return self.screen_pixels({"x": x - reach, "y": y - reach, "w": 2 * reach + 1,
                                   "h": 2 * reach + 1})

    def tap(self, controller, x, y):
        """A finger lifted at (x, y) of the screen: its records reach the X server."""
        sensor = sensor_for(x, y)
        controller.down(*sensor)
        controller.up(*sensor)
        self.mouse.wait_for(3, timeout=5)
        time.sleep(0.3)

    def test_calibration_from_simulated_touches_puts_taps_where_the_finger_is(self):
        self.add_mouse(drive_pointer=True)
        controller = self.add_controller(0)
        self.start_usblink()
        self.wait_served([controller])
        self.set_dword("General", "MouseMode", 2)  # raw positions: no smoothing between taps
        self.assertEqual(self.touchctl("set", "usb", "setupchange")[0], 0)

        # Before: the misalignment shows.
        self.tap(controller, 600, 300)
        before = self.pointer_at()
        self.assertGreater(abs(before[0] - 600) + abs(before[1] - 300), 10)

        self.open_dialog(CALIBRATION)
        dx, dy = WIDTH // 10, HEIGHT // 10
        targets = [(dx - 1, dy - 1), (WIDTH - dx - 1, dy - 1), (dx - 1, HEIGHT - dy - 1),
                   (WIDTH // 2, HEIGHT // 2)]
        for x, y in targets:
            self.tap(controller, x, y)
        self.assertEqual(self.dialog_result(), 0)
        self.assertNotEqual(self.general_values()["Divider"], 0)
        time.sleep(1.0)  # Usblink loads the new matrix at the setup change

        for x, y in ((600, 300), (200, 650), (900, 120)):
            self.tap(controller, x, y)
            at = self.pointer_at()
            self.assertLessEqual(max(abs(at[0] - x), abs(at[1] - y)), 2,
                                 "a tap at (%d, %d) landed at %s" % (x, y, at))

    def test_the_drawing_test_draws_the_stroke_the_finger_traced(self):
        self.add_mouse(drive_pointer=True)
        controller = self.add_controller(0)
        self.start_usblink()
        self.wait_served([controller])
        self.set_dword("General", "MouseMode", 2)
        self.assertEqual(self.touchctl("set", "usb", "setupchange")[0], 0)
        time.sleep(0.5)
        self.open_dialog(DRAWING_TEST, 0)
        # A finger put down at (300, 300), drawn right to (500, 300), lifted there.
        controller.down(300 * SENSOR_SPAN // WIDTH, 300 * SENSOR_SPAN // HEIGHT)
        for x in range(320, 501, 20):
            controller.move(x * SENSOR_SPAN // WIDTH, 300 * SENSOR_SPAN // HEIGHT)
            time.sleep(0.03)
        controller.up(500 * SENSOR_SPAN // WIDTH, 300 * SENSOR_SPAN // HEIGHT)
        self.mouse.wait_for(12, timeout=5)
        time.sleep(0.5)
        # The finger's path went through the sensor's and the pointer's arithmetic: a pixel or
        # two either way.
        self.assertIn(YELLOW, self.around(300, 300))  # the cross where the finger came down
        self.assertIn(RED, self.around(500, 300))     # the cross where it was lifted
        for x in (350, 400, 450):
            self.assertIn(WHITE, self.around(x, 300), "no stroke at x %d" % x)
        self.assertNotIn(WHITE, self.around(400, 400))
        self.xdotool("key", "Return")
        self.assertEqual(self.dialog_result(), 0)
