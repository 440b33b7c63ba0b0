"""Captures of a controller's stream, asked for through the registry: what Usblink captured
replays offline to exactly the pointer records it wrote, and a capture file that stops taking
data leaves the service serving touches."""

import json
import os
import shutil
import subprocess
import time
import unittest

from serlink_fixture import SerlinkTest
from usblink_fixture import BUILD, UsblinkTest

DIAGNOSTICS = "Diagnostics"


def windows_path(path):
    return "Z:" + path.replace("/", "\\")
TOUCHREPLAY = "tools/touchreplay/touchreplay.exe"


class CaptureTest(UsblinkTest):
    def setUp(self):
        super().setUp()
        self.folder = os.path.join(BUILD, "sim", "capture")
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        # The services write where a standard user may: the common data folder.
        self.usblink_log = os.path.join(self.world.prefix, "drive_c", "ProgramData",
                                        "Zorvik Touch", "Usblink.log")
        if os.path.exists(self.usblink_log):
            os.remove(self.usblink_log)

    def capture_seconds(self):
        out = subprocess.run(["wine", "reg", "query",
                              "HKLM\\Software\\ZorvikTouchParam\\" + DIAGNOSTICS, "/v",
                              "CaptureSeconds"], env=self.world.env, capture_output=True,
                             text=True).stdout
        for line in out.splitlines():
            if "CaptureSeconds" in line:
                return int(line.split()[-1], 16)
        return None

    def ask_capture(self, seconds, service="usb"):
        self.assertEqual(self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\" + DIAGNOSTICS,
                                  "/v", "CaptureFolder", "/d", windows_path(self.folder), "/f"), 0)
        self.set_dword(DIAGNOSTICS, "CaptureSeconds", seconds)
        self.assertEqual(self.touchctl("set", service, "setupchange")[0], 0)

    def replay(self, capture, *options):
        """touchreplay's effects for the capture with the registry as it is now."""
        settings = os.path.join(self.folder, "settings.reg")
        self.assertEqual(self.reg("export", "HKLM\\Software\\ZorvikTouchParam",
                                  windows_path(settings), "/y"), 0)
        code, out = self.world.run(TOUCHREPLAY, "--reg", windows_path(settings), *options,
                                   windows_path(capture))
        self.assertEqual(code, 0, self.world.last_error)
        return [json.loads(line) for line in out.splitlines() if line.strip()]

    @staticmethod
    def records(received):
        return [{k: r[k] for k in ("flags", "buttons", "x", "y", "extra")} for r in received]

    def serve(self):
        self.add_mouse()
        controller = self.add_controller(0)
        self.start()
        self.wait_served([controller])
        self.mouse.take()
        return controller


class UsblinkCapture(CaptureTest):
    def test_a_capture_replays_to_the_records_the_mouse_received(self):
        controller = self.serve()
        self.set_dword("General", "MouseMode", 0)
        self.ask_capture(4)
        time.sleep(1.0)
        # A tap, a double tap and a stroke, with pauses between them.
        for x, y in ((4000, 4000), (4000, 4000)):
            controller.down(x, y)
            controller.up(x, y)
            time.sleep(0.15)
        time.sleep(0.6)
        controller.down(8000, 8000)
        for step in range(1, 20):
            controller.move(8000 + step * 200, 8000 + step * 100)
            time.sleep(0.01)
        controller.up(11800, 9900)
        self.wait_until(lambda: self.capture_seconds() == 0, 10, "the capture to end by itself")
        received = self.mouse.take()
        self.assertGreater(len(received), 20)

        capture = os.path.join(self.folder, "USB01.txt")
        with open(capture) as text:
            lines = text.read().splitlines()
        self.assertTrue(lines[1].startswith("@time "), lines[:3])
        self.assertEqual(lines[-1], "# capture ended: time is up")
        effects = self.replay(capture, "--device-path", controller.path)
        self.assertEqual([e["mouse"] for e in effects if "mouse" in e], self.records(received))

    def test_without_a_capture_folder_the_capture_goes_to_the_data_folder(self):
        # Not beside the program: under Program Files the service's standard token may not write.
        controller = self.serve()
        default = os.path.join(os.path.dirname(self.usblink_log), "Capture")
        shutil.rmtree(default, ignore_errors=True)
        self.set_dword(DIAGNOSTICS, "CaptureSeconds", 2)
        self.assertEqual(self.touchctl("set", "usb", "setupchange")[0], 0)
        controller.down(4000, 4000)
        controller.up(4000, 4000)
        capture = os.path.join(default, "USB01.txt")
        self.wait_until(lambda: os.path.isfile(capture) and
                        "# capture ended" in open(capture, errors="replace").read(), 15,
                        "the capture in the data folder")
        with open(self.usblink_log) as log:
            self.assertIn("into C:\\ProgramData\\Zorvik Touch\\Capture", log.read())

    def test_a_file_that_takes_no_data_leaves_the_service_serving(self):
        # The capture file is a pipe nobody reads: its writes stall as on a dead disk.
        controller = self.serve()
        fifo = os.path.join(self.folder, "USB01.txt")
        os.mkfifo(fifo)
        holder = os.open(fifo, os.O_RDWR | os.O_NONBLOCK)  # opened, filled, never read
        self.addCleanup(os.close, holder)
        try:
            while True:
                os.write(holder, b"#" * 4096)
        except BlockingIOError:
            pass
        self.ask_capture(3)
        time.sleep(0.5)
        for k in range(150):  # taps at a controller's pace, far more than the pipe holds
            controller.down(1000 + k * 90, 4000)
            time.sleep(0.004)
            controller.up(1000 + k * 90, 4000)
            time.sleep(0.004)
        records = self.mouse.wait_for(450, timeout=15)
        self.assertEqual(len(records), 450, "touches were held up by the capture")
        self.wait_until(lambda: self.capture_seconds() == 0, 10, "the capture to end")
        self.assertEqual(self.touchctl("set", "usb", "exit")[0], 0)
        self.assertEqual(self.process.wait(timeout=10), 0)
        with open(self.usblink_log) as log:
            self.assertIn("did not take the data", log.read())


class SerlinkCapture(SerlinkTest, CaptureTest):
    def test_a_serial_capture_replays_to_the_same_releases_and_points(self):
        self.add_mouse()
        controller = self.add_serial(4)
        self.start()
        self.wait_started()
        self.rescan_and_wait(1)
        self.mouse.take()
        self.ask_capture(3, service="serial")
        time.sleep(1.0)
        for fingers in ([(100, 200)], [(110, 205)], [(120, 210), (600, 400)]):
            controller.touch(fingers)
            time.sleep(0.05)
        controller.lift()
        time.sleep(0.2)
        controller.touch([(700, 500)])
        controller.lift()
        self.wait_until(lambda: self.capture_seconds() == 0, 10, "the capture to end by itself")
        received = self.mouse.take()
        self.assertEqual(len(received), 2)

        effects = self.replay(os.path.join(self.folder, "SerialCOM4.txt"), "--serial", "--port", "4")
        self.assertEqual([e["mouse"] for e in effects if "mouse" in e], self.records(received))
        touched = [e["serial"] for e in effects if "serial" in e and e["serial"]["status"] == 1]
        # Every touched frame sent, in order: the held finger is tracked, the second one joins it.
        self.assertEqual([len(frame["points"]) for frame in touched], [1, 1, 2, 1])


if __name__ == "__main__":
    unittest.main()
