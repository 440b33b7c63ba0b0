"""Serlink when things go wrong: a port whose data never drains, failure boxes nobody answers,
an exit that races a rescan. Seen from outside: exit codes and times, the ports Wine holds open,
what the controllers receive."""

import subprocess
import time
import unittest

from serlink_fixture import QUERIES_PER_BRING_UP, SerlinkTest
from usblink_fixture import PipeWatch, wine_processes


class SerialFaultTest(SerlinkTest):
    def exit_and_time(self, limit):
        """Sets the exit event; Serlink must end with 0 within `limit` seconds, leaving no
        process behind. Returns the moment the exit was asked for."""
        asked = time.monotonic()
        self.assertEqual(self.touchctl("set", "serial", "exit")[0], 0)
        try:
            code = self.process.wait(timeout=limit)
        except subprocess.TimeoutExpired:
            self.fail("Serlink still runs %.0f s after the exit event" % limit)
        self.assertEqual(code, 0)
        self.wait_until(lambda: not wine_processes(self.world, "Serlink.exe"), 3,
                        "no Serlink process to be left")
        return asked

    def serve(self, numbers, answer="echo"):
        self.add_mouse()
        controllers = [self.add_serial(n, answer=answer) for n in numbers]
        self.start()
        self.wait_started()
        self.rescan_and_wait(len(controllers))
        return controllers

    def watch_ports(self, controllers):
        watch = PipeWatch(self.world, [c.port.tty for c in controllers])
        self.addCleanup(watch.stop)
        return watch


class SerlinkStalledPort(SerialFaultTest):
    """A port whose output is suspended: the query of a rescan never leaves."""

    def stall_during_a_rescan(self):
        controller = self.serve([3])[0]
        controller.stall()
        asked = controller.queries
        self.assertEqual(self.touchctl("set", "serial", "rescan")[0], 0)
        time.sleep(4.0)  # the rebuild has closed, reopened and written to the port
        self.assertEqual(controller.queries, asked, "the stalled port let a query out")
        return controller

    def test_exit_while_a_command_write_never_drains(self):
        self.stall_during_a_rescan()
        self.assertEqual(self.touchctl("set", "serial", "setupchange")[0], 0)
        self.exit_and_time(5)

    def test_the_port_serves_again_once_it_drains(self):
        controller = self.stall_during_a_rescan()
        controller.resume()
        self.rescan_and_wait(1)
        self.assertGreater(controller.queries, QUERIES_PER_BRING_UP)
        self.assertTrue(controller.received_whole_queries_only(),
                        "a cut-short command reached the controller")
        self.exit_and_time(5)


class SerlinkFailureBoxes(SerialFaultTest):
    def test_a_box_nobody_answers_holds_neither_settings_nor_exit(self):
        # Every port refuses its line settings: the rebuild reports it in a box. The box waits
        # for a click, but not with the device list held.
        self.world.env = dict(self.world.env, SERIALSIM_REFUSE_LINE_SETTINGS="1")
        self.add_mouse()
        controller = self.add_serial(3)
        self.start()
        self.wait_started()
        self.assertEqual(self.touchctl("set", "serial", "rescan")[0], 0)
        code, out = self.world.run("testkit/uictl/uictl.exe", "wait-window", "Serial Setup Error",
                                   "15000", timeout=30)
        self.assertEqual(code, 0, out)
        self.wait_until(lambda: controller.queries > 0, 5, "the query after the failed step")
        started = time.monotonic()
        self.assertEqual(self.touchctl("set", "serial", "setupchange")[0], 0)
        self.assertEqual(self.touchctl("set", "serial", "beep")[0], 0)
        self.exit_and_time(5)
        self.assertLess(time.monotonic() - started, 8)


class SerlinkExitRace(SerialFaultTest):
    def test_exit_during_the_first_rebuild_opens_nothing(self):
        # The first rebuild waits 1.5 s before it reopens the listed ports; an exit meanwhile
        # ends it there.
        numbers = [3, 4]
        self.set_dword("SerialAcitve", "NextInstanceCount", len(numbers))
        for k, number in enumerate(numbers):
            self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\SerialAcitve\\COM%02d" % k,
                     "/v", "COMID", "/d", str(number), "/f")
        self.add_mouse()
        controllers = [self.add_serial(n) for n in numbers]
        watch = self.watch_ports(controllers)
        self.start()
        self.wait_until(lambda: self.touchctl("set", "serial", "beep")[0] == 0, 15,
                        "Serlink to create its events")
        self.exit_and_time(3)
        self.assertEqual([c.queries for c in controllers], [0, 0])
        self.assertEqual(watch.changes, [], "a port was opened after the exit")

    def test_exit_racing_a_rescan_opens_nothing_again(self):
        # The rescan is seen first and the exit right after it: the worker must not bring the
        # ports up again once the exit has closed them.
        controllers = self.serve([2, 3, 4, 5, 6])
        watch = self.watch_ports(controllers)
        self.assertTrue(all(watch.held.values()), "the served ports are not seen open")
        asked = time.monotonic()
        self.assertEqual(self.touchctl("set", "serial", "rescan", "exit")[0], 0)
        self.process.wait(timeout=8)
        self.assertEqual(self.process.returncode, 0)
        self.wait_until(lambda: not any(watch.held.values()), 3, "the ports to be closed")
        self.assertEqual(watch.opened_since(asked), [])


if __name__ == "__main__":
    unittest.main()
