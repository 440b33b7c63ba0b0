"""Serlink under Wine, unmodified: instances, the start from the registry list, rescans, the
list it writes, touches and releases, the one-shot right click and the exit."""

import os
import random
import subprocess
import time
import unittest

from serlink_fixture import QUERIES_PER_BRING_UP, SERLINK, SerlinkTest
from usblink_fixture import CLICK_ACK

LEFT_RELEASE = 0x0002  # MOUSE_INPUT_DATA button flags
RIGHT_RELEASE = 0x0008
SERIAL_KEY = "HKLM\\Software\\ZorvikTouchParam\\SerialAcitve"


class SerlinkProcessTest(SerlinkTest):

    def test_second_instance_ends_at_once_with_0(self):
        self.add_mouse()
        self.start()
        self.wait_started()
        started = time.monotonic()
        code, _ = self.world.run(SERLINK, timeout=30)
        self.assertEqual(code, 0)
        self.assertLess(time.monotonic() - started, 10)
        self.assertIsNone(self.process.poll(), "the first instance must keep running")

    def test_start_reopens_the_listed_ports_and_keeps_the_list(self):
        self.set_dword("SerialAcitve", "NextInstanceCount", 2)
        self.reg("add", SERIAL_KEY + "\\COM00", "/v", "COMID", "/d", "3", "/f")
        self.reg("add", SERIAL_KEY + "\\COM01", "/v", "COMID", "/d", "7", "/f")
        self.set_dword("General", "ClickRightLeft", 1)  # shows that the settings load followed
        mouse = self.add_mouse()
        com3 = self.add_serial(3, answer="silent")  # kept although it never answers
        com7 = self.add_serial(7)
        self.start()
        self.wait_until(lambda: com3.queries == QUERIES_PER_BRING_UP and
                        com7.queries == QUERIES_PER_BRING_UP, 15, "COM3 and COM7 to be opened")
        time.sleep(1.0)
        serial = self.serial_list()
        self.assertEqual(serial["NextInstanceCount"], 2)
        self.assertEqual([(d["key"], d["COMID"], "DeviceActive" in d) for d in serial["devices"]],
                         [("COM00", "3", False), ("COM01", "7", False)])
        com3.lift()  # SETUPCHANGE loaded ClickRightLeft into the reopened device
        records = mouse.wait_for(1)
        self.assertEqual([r["buttons"] for r in records], [RIGHT_RELEASE])

    def test_rescan_lists_answering_controllers_only(self):
        self.add_mouse()
        silent = self.add_serial(2, answer="silent")
        com5 = self.add_serial(5, answer="texts")
        com12 = self.add_serial(12)  # beyond COM9 a port is only reachable as \\.\COM12
        self.start()
        self.wait_started()
        self.rescan_and_wait(2)
        serial = self.serial_list()
        self.assertEqual(serial["devices"], [
            {"key": "COM00", "COMID": "5", "DeviceActive": "Yes", "FirmwareVersion": "V1.2",
             "DeviceID": "ZS-SIM"},
            {"key": "COM01", "COMID": "12", "DeviceActive": "Yes", "FirmwareVersion": "",
             "DeviceID": ""},
        ])
        self.assertEqual(silent.queries, QUERIES_PER_BRING_UP, "the silent port was probed")
        self.assertFalse(self.port_open(silent), "the silent port is closed after the window")
        self.assertTrue(self.port_open(com5) and self.port_open(com12))

    def test_rescan_during_a_rebuild_is_absorbed(self):
        self.add_mouse()
        controller = self.add_serial(4)
        self.start()
        self.wait_started()
        self.assertEqual(self.touchctl("set", "serial", "rescan")[0], 0)
        self.wait_until(lambda: controller.queries > 0, 10, "the rebuild to probe COM4")
        self.assertEqual(self.touchctl("set", "serial", "rescan")[0], 0)  # during the rebuild
        self.wait_until(lambda: self.serial_list().get("NextInstanceCount") == 1, 10,
                        "the list to be written")
        time.sleep(5)  # more than two idle checks
        self.assertEqual(controller.queries, QUERIES_PER_BRING_UP, "no second rebuild")

    def test_without_the_mouse_driver_no_port_is_opened(self):
        controller = self.add_serial(6)
        self.start()
        self.wait_started()
        self.assertEqual(self.touchctl("set", "serial", "rescan")[0], 0)
        self.wait_until(lambda: self.serial_list().get("present") is True, 15,
                        "the list to be rewritten")
        self.assertEqual(self.serial_list()["NextInstanceCount"], 0)
        self.assertEqual(controller.queries, 0)

    def test_exit_closes_the_ports_and_ends_with_0(self):
        self.add_mouse()
        controller = self.add_serial(3)
        self.start()
        self.wait_started()
        self.rescan_and_wait(1)
        self.assertTrue(self.port_open(controller))
        # Seen from outside while Serlink runs: its own descriptors of the port are closed
        # before it exits (the end of the process would close them anyway, and the wineserver
        # closes a dying process's handles before the process is gone, so only the order of
        # Serlink's own calls tells the two apart).
        pid = self.process.pid
        port_fds = {int(fd) for fd in os.listdir("/proc/%d/fd" % pid)
                    if os.readlink("/proc/%d/fd/%s" % (pid, fd)) == controller.port.tty}
        self.assertTrue(port_fds, "Serlink holds no descriptor of its port")
        trace = os.path.join(self.sim_dir, "serlink-exit.strace")
        tracer = subprocess.Popen(["strace", "-f", "-qq", "-e", "trace=close,exit_group", "-o",
                                   trace, "-p", str(pid)], stderr=subprocess.DEVNULL)
        time.sleep(1.0)  # attached to every thread
        self.assertEqual(self.touchctl("set", "serial", "exit")[0], 0)
        self.assertEqual(self.process.wait(timeout=10), 0)
        tracer.wait(timeout=10)
        with open(trace) as calls:
            order = [line.split(None, 1)[1] for line in calls if " " in line]
        ending = next(k for k, call in enumerate(order) if call.startswith("exit_group"))
        closed = {int(call[6:call.index(")")]) for call in order[:ending]
                  if call.startswith("close(") and " = 0" in call}
        self.assertTrue(port_fds & closed, "the port was not closed before Serlink exited")
        self.assertFalse(self.port_open(controller))
        # Nothing is left behind: a new instance serves the same port at once.
        self.process = None
        self.start("serlink-second.log")
        self.wait_started()
        self.rescan_and_wait(1)


    def test_beep_plays_one_tone_per_request(self):
        self.add_mouse()
        controller = self.add_serial(4)
        self.set_dword("General", "ClickMode", 1)  # a tick at every touch-down
        self.start(trace_beeps=True)
        self.wait_started()
        self.rescan_and_wait(1)
        controller.touch([(500, 400)])
        controller.touch([(510, 400)])  # still down: no second tick
        controller.lift()
        self.wait_until(lambda: len(self.beeps()) >= 1, 10, "the tick")
        time.sleep(0.5)
        self.assertEqual(self.beeps(), [(1711, 28)])
        self.set_dword("General", "TickFreq", 2000)
        self.set_dword("General", "Ticklength", 50)
        self.assertEqual(self.touchctl("set", "serial", "setupchange")[0], 0)
        time.sleep(0.5)
        self.assertEqual(self.touchctl("set", "serial", "beep")[0], 0)
        self.wait_until(lambda: len(self.beeps()) >= 2, 10, "the second tone")
        self.assertEqual(self.beeps(), [(1711, 28), (2000, 50)])


class SerlinkTouchTest(SerlinkTest):

    def setUp(self):
        super().setUp()
        self.mouse = self.add_mouse()
        self.controller = self.add_serial(4)
        self.start()
        self.wait_started()
        self.rescan_and_wait(1)

    def watch(self, action, duration_ms=3000):
        """Runs `action` while touchctl watches the serial section; returns its frames."""
        result = self.start_waiter("serial-watch", str(duration_ms))
        action()
        code, lines = result()
        self.assertEqual(code, 0)
        return [line["serial"] for line in lines if "serial" in line]

    def test_touch_publishes_points_and_every_lift_a_left_release(self):
        def touch_and_lift():
            self.controller.touch([(256, 96)])
            time.sleep(0.3)
            self.controller.lift()
        frames = self.watch(touch_and_lift)
        self.assertIn({"status": 1, "count": 1,
                       "points": [{"id": 0, "x1": 256, "y1": 96, "x2": 257, "y2": 96}]}, frames)
        self.assertEqual(frames[-1]["status"], 0)
        records = self.mouse.wait_for(1)
        self.assertEqual([(r["buttons"], r["flags"]) for r in records], [(LEFT_RELEASE, 1)])
        self.controller.lift()  # a lift while up still releases
        self.assertEqual([r["buttons"] for r in self.mouse.wait_for(1)], [LEFT_RELEASE])

    def test_two_fingers_give_all_pairs_then_tracked_points(self):
        def two_fingers():
            self.controller.touch([(100, 96), (600, 504)])
            time.sleep(0.3)
            # Far from every earlier point: no proximity match, one point per shadow pair.
            self.controller.touch([(300, 300), (800, 648)])
            time.sleep(0.3)
        frames = [f for f in self.watch(two_fingers) if f["status"] == 1]
        self.assertEqual([f["count"] for f in frames], [4, 2])  # ghosts first, then tracked
        self.assertEqual([(p["x1"], p["y1"]) for p in frames[0]["points"]],
                         [(100, 96), (100, 504), (600, 96), (600, 504)])
        self.assertEqual([(p["x1"], p["y1"]) for p in frames[1]["points"]],
                         [(300, 300), (800, 648)])

    def test_garbage_from_the_controller_is_survived(self):
        noise = random.Random(5).randbytes(64 * 1024)
        self.controller.send(noise)
        time.sleep(1.0)

        def clean_touch():
            self.controller.lift()
            self.controller.touch([(256, 96)])
            time.sleep(0.3)
        frames = self.watch(clean_touch)
        self.assertEqual(frames[-1], {"status": 1, "count": 1, "points": [
            {"id": 0, "x1": 256, "y1": 96, "x2": 257, "y2": 96}]})
        self.assertIsNone(self.process.poll())

    def test_one_shot_right_click(self):
        waiter = self.start_waiter("wait-event", CLICK_ACK, "10000")
        self.set_dword("General", "ClickRightLeft", 1)
        self.assertEqual(self.touchctl("set", "serial", "clickchange")[0], 0)
        time.sleep(0.5)
        self.controller.touch([(300, 300)])
        self.controller.lift()
        code, lines = waiter()
        self.assertEqual(code, 0, lines)
        self.controller.touch([(300, 300)])
        self.controller.lift()
        records = self.mouse.wait_for(2)
        self.assertEqual([r["buttons"] for r in records], [RIGHT_RELEASE, LEFT_RELEASE])


if __name__ == "__main__":
    unittest.main()
