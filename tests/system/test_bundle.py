"""touchctl bundle on a machine with Usblink and a simulated controller: every part of the
folder is there, the service's long log is cut to its newest whole lines, and its capture
replays, with its settings and the command its README gives, to the pointer records the service
wrote meanwhile."""

import json
import os
import shutil
import time
import unittest

from test_capture import TOUCHREPLAY, windows_path
from usblink_fixture import BUILD, UsblinkTest


class SupportBundle(UsblinkTest):
    def test_bundle_holds_everything_and_its_capture_replays_to_the_same_records(self):
        folder = os.path.join(BUILD, "sim", "bundle")
        shutil.rmtree(folder, ignore_errors=True)
        # Years of a kiosk's log: 1.5 MB of old lines before this run's own.
        usblink_log = os.path.join(self.world.prefix, "drive_c", "ProgramData", "Zorvik Touch",
                                   "Usblink.log")
        os.makedirs(os.path.dirname(usblink_log), exist_ok=True)
        with open(usblink_log, "wb") as log:
            log.write(b"".join(b"2025-01-01T00:00:00.000Z old line %06d\r\n" % n
                               for n in range(40000)))
        self.add_mouse()
        controller = self.add_controller(0)
        self.start()
        self.wait_served([controller])
        self.set_dword("General", "MouseMode", 0)
        self.mouse.take()
        log = os.path.join(BUILD, "sim", "bundle.log")
        if os.path.exists(log):
            os.remove(log)
        bundle = self.world.start("tools/touchctl/touchctl.exe", "bundle", windows_path(folder),
                                  log=log)
        capture = os.path.join(folder, "Capture", "USB01.txt")
        self.wait_until(lambda: os.path.exists(capture), 20, "the capture to begin")
        self.mouse.take()
        time.sleep(0.5)
        for k in range(6):  # taps and short strokes across the screen
            x = 2000 + k * 2000
            controller.down(x, 6000)
            for step in range(1, 6):
                controller.move(x + step * 150, 6000 + step * 200)
                time.sleep(0.02)
            controller.up(x + 750, 7000)
            time.sleep(0.3)
        code = bundle.wait(timeout=90)
        with open(log, encoding="latin-1") as progress:
            self.assertEqual(code, 0, progress.read())
        received = self.mouse.take()
        self.assertGreater(len(received), 30)

        for name in ("settings.reg", "devices.json", "rate.txt", "beams.txt", "beams.svg",
                     "Usblink.log", "versions.txt", "README.txt"):
            self.assertTrue(os.path.getsize(os.path.join(folder, name)) > 0, name)
        with open(os.path.join(folder, "devices.json")) as lists:
            usb = json.loads(lists.readline())["usb"]
        self.assertEqual(usb["NextInstanceCount"], 1)
        with open(os.path.join(folder, "README.txt"), encoding="latin-1") as readme:
            self.assertIn("touchreplay --reg settings.reg", readme.read())
        with open(os.path.join(folder, "Usblink.log"), "rb") as copy, \
                open(usblink_log, "rb") as log:
            note, _, tail = copy.read().partition(b"\r\n")
            whole = log.read()
        left_out = int(note.decode().split()[2])  # "(the oldest N bytes are left out)"
        self.assertEqual(tail, whole[left_out:left_out + len(tail)])
        self.assertEqual(whole[left_out - 2:left_out], b"\r\n")  # from a line's start
        self.assertLessEqual(len(tail), 1 << 20)
        self.assertIn(b"capture of 1 device(s)", tail)  # and this run's own line
        with open(os.path.join(folder, "rate.txt")) as rate:
            self.assertIn('"usb-points"', rate.read())

        code, out = self.world.run(TOUCHREPLAY, "--reg", windows_path(os.path.join(
            folder, "settings.reg")), windows_path(capture))
        self.assertEqual(code, 0, self.world.last_error)
        replayed = [json.loads(line)["mouse"] for line in out.splitlines() if '"mouse"' in line]
        self.assertEqual(replayed, [{k: r[k] for k in ("flags", "buttons", "x", "y", "extra")}
                                    for r in received])


if __name__ == "__main__":
    unittest.main()
