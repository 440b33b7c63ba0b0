"""Clicktog under Wine with a private X server: message boxes, pictures, the registry value,
the services' events, the acknowledgement, and the whole right-click cycle with Usblink."""

import json
import subprocess
import time

from usblink_fixture import CLICK_ACK, UsblinkTest

CLICKTOG = "clicktool/Clicktog.exe"
UICTL = "testkit/uictl/uictl.exe"
TITLE = "Touch Click Control"
USB_BOX = "Zorvik IR Touch Driver (USB) did not be loaded!"
SERIAL_BOX = "Zorvik IR Touch Driver (Serial) did not be loaded!"
USB_CLICK = "MERIDAX_TOUCH_EVENT_3F98A_CLICKCHANGE"
SERIAL_CLICK = "MERIDAX_STOUCH_EVENT_3F98A_CLICKCHANGE"
RED = (255, 0, 0)


class ClicktogTest(UsblinkTest):
    def setUp(self):
        super().setUp()
        self.tool = None

    def tearDown(self):
        if self.tool is not None and self.tool.poll() is None:
            self.ui("cancel", TITLE)
            try:
                self.tool.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.tool.kill()
        super().tearDown()

    def ui(self, *args):
        return self.world.run_tool(UICTL, *args)

    def start_tool(self):
        self.tool = self.world.start(CLICKTOG)
        return self.tool

    def box_text(self):
        code, out = self.ui("texts", "Fatal Error")
        texts = [json.loads(line)["text"] for line in out.splitlines()] if code == 0 else []
        return next((t for t in texts if "did not be loaded" in t), None)

    def wait_box(self, text, timeout=10):
        self.wait_until(lambda: self.box_text() == text, timeout, "the box \"%s\"" % text)

    def dismiss(self, text):
        self.wait_box(text)
        self.ui("ok", "Fatal Error")
        self.wait_until(lambda: self.box_text() != text, 10, "the box to close")

    def window(self, timeout=10):
        code, out = self.ui("wait-window", TITLE, str(timeout * 1000))
        self.assertEqual(code, 0, "no tool window")
        return json.loads(out)

    def click_right_left(self):
        result = subprocess.run(["wine", "reg", "query",
                                 "HKLM\\Software\\ZorvikTouchParam\\General", "/v",
                                 "ClickRightLeft"], env=self.world.env, capture_output=True)
        for line in result.stdout.decode("latin-1").splitlines():
            if "ClickRightLeft" in line:
                return int(line.split()[-1], 16)
        return None

    def highlighted(self):
        """Which button of the picture is red, from a screenshot of the tool window."""
        box = self.window()
        shot = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
            box["w"], box["h"], box["x"], box["y"]), "+repage", "-depth", "8", "txt:-"],
            env=self.world.env, capture_output=True, check=True).stdout.decode()
        red_x = []
        for line in shot.splitlines()[1:]:
            place, colour = line.split(":", 1)
            if colour.strip().startswith("(255,0,0)"):
                red_x.append(int(place.split(",")[0]))
        self.assertTrue(red_x, "no highlighted button in the picture")
        return "left" if sum(red_x) / len(red_x) < box["w"] / 2 else "right"

    def services_events(self, seconds):
        """Counters standing in for both services' click-change events."""
        return (self.start_waiter("count-event", USB_CLICK, str(seconds * 1000)),
                self.start_waiter("count-event", SERIAL_CLICK, str(seconds * 1000)))


class Clicktog(ClicktogTest):
    def test_without_services_the_usb_then_the_serial_box_come_before_the_window(self):
        self.start_tool()
        self.dismiss(USB_BOX)
        self.dismiss(SERIAL_BOX)
        box = self.window()
        self.assertTrue(box["topmost"])
        # Bottom-right corner of the 1024 x 768 work area.
        self.assertEqual((box["x"] + box["w"], box["y"] + box["h"]), (1024, 768))

    def test_stored_mode_five_shows_right_picture_and_first_tap_writes_zero(self):
        self.set_dword("General", "ClickRightLeft", 5)
        usb, serial = self.services_events(20)
        self.start_tool()
        self.window()
        time.sleep(0.5)
        self.assertEqual(self.highlighted(), "right")
        self.ui("click", TITLE)
        self.assertEqual(self.click_right_left(), 0)
        self.assertEqual(self.highlighted(), "left")

    def test_two_taps_write_one_then_zero_and_set_each_event_twice(self):
        usb, serial = self.services_events(12)
        self.start_tool()
        self.window()
        self.ui("click", TITLE)
        self.assertEqual(self.click_right_left(), 1)
        time.sleep(0.5)
        self.ui("click", TITLE)
        self.assertEqual(self.click_right_left(), 0)
        for counter in (usb, serial):
            code, lines = counter()
            self.assertEqual(lines[-1], {"count": 2})

    def test_acknowledgement_in_left_mode_switches_to_right(self):
        usb, serial = self.services_events(20)
        self.start_tool()
        self.window()
        # The tool creates the event on its acknowledgement thread, right after it starts.
        self.wait_until(lambda: self.world.run("tools/touchctl/touchctl.exe", "signal",
                                               CLICK_ACK)[0] == 0, 10, "the acknowledgement event")
        self.wait_until(lambda: self.click_right_left() == 1, 10, "ClickRightLeft 1")
        self.assertEqual(self.highlighted(), "right")

    def test_system_menu_command_16_opens_the_about_box(self):
        usb, serial = self.services_events(20)
        self.start_tool()
        self.window()
        self.ui("syscommand", TITLE, "16")
        code, _ = self.ui("wait-window", "About Clicktog", "10000")
        self.assertEqual(code, 0)
        _, out = self.ui("texts", "About Clicktog")
        texts = [json.loads(line)["text"] for line in out.splitlines()]
        self.assertIn("Clicktog Version 1.0", texts)
        self.assertIn("OK", texts)
        self.ui("ok", "About Clicktog")

    def test_a_real_right_click_toggles_and_escape_closes_the_tool(self):
        usb, serial = self.services_events(20)
        self.start_tool()
        box = self.window()
        x, y = str(box["x"] + box["w"] // 2), str(box["y"] + box["h"] // 2)
        subprocess.run(["xdotool", "mousemove", x, y, "click", "3"], env=self.world.env,
                       check=True)
        self.wait_until(lambda: self.click_right_left() == 1, 5, "ClickRightLeft 1")
        subprocess.run(["xdotool", "key", "Escape"], env=self.world.env, check=True)
        self.assertEqual(self.tool.wait(timeout=10), 0)
        self.assertEqual(self.click_right_left(), 1)  # Esc changes nothing

    def test_second_instance_ends_at_once(self):
        usb, serial = self.services_events(20)
        self.start_tool()
        self.window()
        started = time.monotonic()
        code, _ = self.world.run(CLICKTOG, timeout=20)
        self.assertEqual(code, 0)
        self.assertLess(time.monotonic() - started, 5)


class RightClickCycle(ClicktogTest):
    def test_tap_the_tool_then_the_next_touch_is_a_right_click_and_the_tool_returns(self):
        self.add_mouse()
        controller = self.add_controller(0)
        self.start()
        self.wait_served([controller])
        self.start_tool()
        self.dismiss(SERIAL_BOX)  # the serial service is not running
        self.window()
        self.ui("click", TITLE)
        self.assertEqual(self.click_right_left(), 1)
        time.sleep(1.0)  # Usblink reloads on the click-change event
        self.mouse.take()
        controller.down(8192, 8192)
        controller.up(8192, 8192)
        records = self.mouse.wait_for(3)
        self.assertEqual([r["buttons"] for r in records], [0, 4, 8])
        self.wait_until(lambda: self.click_right_left() == 0, 10, "the tool back in left mode")
        self.assertEqual(self.highlighted(), "left")
