"""The run command's popup hold (testkit/usbsim/demo.py) against a real Usblink: started late in a
minute, it waits for the next one rather than let the hold cross a change of minute, then sets
the popup event and shows the release that follows the lift."""

import contextlib
import io
import os
import sys
import time
import unittest

from usblink_fixture import SOURCE, UsblinkTest

sys.path.insert(0, os.path.join(SOURCE, "testkit", "usbsim"))

import demo  # noqa: E402

LATE = 55.0  # seconds into a minute: a hold started here would end in the next minute


class DemoPopupHold(UsblinkTest):
    def test_hold_asked_for_late_in_a_minute_waits_then_sets_the_popup(self):
        self.add_mouse()
        controller = self.add_controller(0)
        self.start()
        self.wait_served([controller])
        self.mouse.take()
        time.sleep((LATE - time.time() % 60) % 60)
        trace = io.StringIO()
        with contextlib.redirect_stdout(trace):
            signalled = demo.popup_hold(self.world, self.mouse, controller,
                                        demo.Session(self.world, self.sim_dir))
        lines = trace.getvalue().splitlines()
        self.assertTrue(signalled, "\n".join(lines))
        self.assertTrue(any("waiting" in line and "change of minute" in line for line in lines))
        after_lift = lines[next(k for k, line in enumerate(lines) if line.endswith("lift")):]
        self.assertTrue(any(line.endswith("pointer left release") for line in after_lift),
                        "\n".join(lines))


if __name__ == "__main__":
    unittest.main()
