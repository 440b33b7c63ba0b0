"""touchctl bundle on a machine with Usblink and a simulated controller: every part of the
folder is there, and its capture replays, with its settings and the command its README gives,
to the pointer records the service wrote meanwhile."""

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
                     "versions.txt", "README.txt"):
            self.assertTrue(os.path.getsize(os.path.join(folder, name)) > 0, name)
        with open(os.path.join(folder, "devices.json")) as lists:
            usb = json.loads(lists.readline())["usb"]
        self.assertEqual(usb["NextInstanceCount"], 1)
        with open(os.path.join(folder, "README.txt"), encoding="latin-1") as readme:
            self.assertIn("touchreplay --reg settings.reg", readme.read())
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
