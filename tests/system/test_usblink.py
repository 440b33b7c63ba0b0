"""Usblink as a whole program under Wine, seen only from outside: registry, events, sections,
mouse driver records, exit codes."""

import os
import subprocess
import time
import unittest

from usblink_fixture import CLICK_ACK, USBLINK, PipeWatch, UsblinkTest

POINT_EVENT = "Global\\MERIDAX_MTOUCHPOINT_IPC_INTERFACE_0401"
POINT_EVENT_ALL = "Global\\MERIDAX_MTOUCHPOINT_IPC_INTERFACE_0401_ZORVIK"


class Lifecycle(UsblinkTest):
    def test_second_instance_ends_at_once_with_zero(self):
        self.start()
        time.sleep(1.0)
        started = time.monotonic()
        code, _ = self.world.run(USBLINK, timeout=20)
        self.assertEqual(code, 0)
        self.assertLess(time.monotonic() - started, 5)
        self.assertIsNone(self.process.poll())

    def test_exit_event_ends_with_zero_while_a_read_is_blocked(self):
        self.add_mouse()
        controller = self.add_controller(0)
        self.start()
        self.wait_served([controller])
        # The controller stays silent: the reader waits in its read when the exit comes.
        started = time.monotonic()
        self.assertEqual(self.touchctl("set", "usb", "exit")[0], 0)
        self.assertEqual(self.process.wait(timeout=15), 0)
        self.assertLess(time.monotonic() - started, 10)


class BeepDeviceRoute(UsblinkTest):
    windows_version = None  # Wine reports 6.1: the beep device route, which Wine cannot open

    def test_missing_beep_device_ends_with_one_and_leaves_no_dos_device(self):
        self.start()
        self.assertEqual(self.process.wait(timeout=20), 1)
        self.process = None
        self.assertFalse(os.path.lexists(os.path.join(self.world.dosdevices, "dosbeep")))


class Devices(UsblinkTest):
    def test_two_controllers_are_listed_in_enumeration_order(self):
        self.add_mouse()
        first = self.add_controller(0, firmware="2.10", device_id="ZT-A")
        second = self.add_controller(1, own_kind=False, firmware="3.01", device_id="ZT-B")
        self.start()
        self.wait_served([first, second])
        usb, _ = self.lists()
        self.assertEqual(usb["NextInstanceCount"], 2)
        self.assertEqual([d["key"] for d in usb["devices"]], ["USB01", "USB02"])
        self.assertEqual([d["USBID"] for d in usb["devices"]], [first.path, second.path])
        self.assertEqual([d["FirmwareVersion"] for d in usb["devices"]], ["2.10", "3.01"])
        self.assertEqual([d["DeviceID"] for d in usb["devices"]], ["ZT-A", "ZT-B"])

    def test_plugging_a_third_restarts_all_and_unplugging_all_empties_the_list(self):
        self.add_mouse()
        controllers = [self.add_controller(0), self.add_controller(1)]
        self.start()
        self.wait_served(controllers)
        self.set_dword("General", "MouseMode", 2)  # no setup-change event: the restart loads it
        controllers.append(self.add_controller(2))
        before = [c.queries for c in controllers[:2]]
        self.wait_served(controllers, timeout=12)
        # Every controller was restarted: asked again.
        self.assertTrue(all(c.queries > q for c, q in zip(controllers, before)))
        self.mouse.take()
        controllers[2].down(8192, 8192)
        controllers[2].move(4096, 4096)
        records = self.mouse.wait_for(3)
        self.assertEqual((records[2]["x"], records[2]["y"]), (16383, 16383))
        for controller in controllers:
            controller.unplug()

        def emptied():
            usb, _ = self.lists()
            return usb.get("NextInstanceCount") == 0 and not usb["devices"]
        self.wait_until(emptied, 12, "an empty device list")

    def test_rescan_event_restarts_the_controllers(self):
        self.add_mouse()
        controller = self.add_controller(0)
        self.start()
        self.wait_served([controller])
        self.rescan_and_wait_served([controller])

    def test_rescan_during_a_hot_plug_restart_leaves_one_consistent_list(self):
        # The watcher restarts for the new controller; a rescan asked for while that restart runs
        # waits for it to end, then restarts everything once more: two whole restarts, one after
        # the other, never interleaved, and none dropped.
        self.add_mouse()
        controllers = [self.add_controller(0)]
        self.start()
        self.wait_served(controllers)
        before = controllers[0].queries
        first_pipe = controllers[0].pipe_paths()[0]
        first_watch = PipeWatch(self.world, [first_pipe])
        self.addCleanup(first_watch.stop)
        self.assertTrue(first_watch.held[first_pipe], "the served pipe is not seen open")
        controllers.append(self.add_controller(1))
        new_pipe = controllers[1].pipe_paths()[0]
        new_watch = PipeWatch(self.world, [new_pipe])
        self.addCleanup(new_watch.stop)
        self.wait_until(lambda: not first_watch.held[first_pipe], 6,
                        "the watcher's restart to stop the controllers")
        self.assertEqual(self.touchctl("set", "usb", "rescan")[0], 0)
        # The watcher's restart asks the new controller last, at its very end (3.6 s after the
        # stop): not asked yet, so the rescan came while that restart was running.
        self.assertEqual(controllers[1].queries, 0, "the rescan came after the restart")
        self.assertEqual(new_watch.changes, [])

        self.wait_until(lambda: controllers[1].queries >= 2 and
                        controllers[0].queries >= before + 2, 20, "two restarts")
        time.sleep(3.0)  # longer than a watcher period: no third restart follows
        self.assertEqual((controllers[0].queries - before, controllers[1].queries), (2, 2))
        first_seen = [(at, held) for at, _, held in first_watch.changes]
        new_seen = [(at, held) for at, _, held in new_watch.changes]
        self.assertEqual([held for _, held in first_seen], [False, True, False, True])
        self.assertEqual([held for _, held in new_seen], [True, False, True])
        # The rescan's restart stopped the controllers only after the watcher's had opened both.
        self.assertLess(new_seen[0][0], first_seen[2][0])
        self.wait_served(controllers)
        usb, _ = self.lists()
        self.assertEqual([d["key"] for d in usb["devices"]], ["USB01", "USB02"])
        self.assertEqual([d["USBID"] for d in usb["devices"]], [c.path for c in controllers])

    def test_without_the_virtual_mouse_no_controller_is_started(self):
        controller = self.add_controller(0)
        self.start()
        time.sleep(6)
        self.assertEqual(controller.queries, 0)
        usb, _ = self.lists()
        self.assertFalse(usb["present"])


class Pointer(UsblinkTest):
    def serve_one(self, trace_beeps=False, **kind):
        self.add_mouse()
        controller = self.add_controller(0, **kind)
        self.start(trace_beeps=trace_beeps)
        self.wait_served([controller])
        self.mouse.take()
        return controller

    def test_tap_gives_move_press_then_release(self):
        controller = self.serve_one()
        controller.down(8192, 8192)
        controller.up(8192, 8192)
        records = self.mouse.wait_for(3)
        self.assertEqual([(r["buttons"], r["x"], r["y"]) for r in records],
                         [(0, 32656, 32656), (1, 0, 0), (2, 0, 0)])
        self.wait_until(lambda: controller.ack_count() >= 2, 5, "two acknowledges")

    def test_each_touch_down_ticks_once_with_the_loaded_tone(self):
        self.set_dword("General", "ClickMode", 1)  # a tick at every touch-down
        controller = self.serve_one(trace_beeps=True)
        controller.down(8192, 8192)
        controller.move(8200, 8192)  # still down: no second tick
        controller.up(8200, 8192)
        self.wait_until(lambda: len(self.beeps()) >= 1, 10, "the tick")
        time.sleep(0.5)
        self.assertEqual(self.beeps(), [(1711, 28)])
        self.set_dword("General", "TickFreq", 2000)
        self.set_dword("General", "Ticklength", 50)
        self.assertEqual(self.touchctl("set", "usb", "setupchange")[0], 0)
        time.sleep(0.5)
        controller.down(4096, 4096)
        controller.up(4096, 4096)
        self.wait_until(lambda: len(self.beeps()) >= 2, 10, "the second tick")
        time.sleep(0.5)
        self.assertEqual(self.beeps(), [(1711, 28), (2000, 50)])

    def test_one_shot_right_click_signals_the_click_tool(self):
        self.set_dword("General", "ClickRightLeft", 1)
        acknowledged = self.start_waiter("wait-event", CLICK_ACK, "30000")
        controller = self.serve_one()
        controller.down(8192, 8192)
        controller.up(8192, 8192)
        records = self.mouse.wait_for(3)
        self.assertEqual([r["buttons"] for r in records], [0, 4, 8])
        code, lines = acknowledged()
        self.assertEqual(code, 0)
        self.assertIn({"signalled": CLICK_ACK}, lines)

    def test_setup_change_reloads_the_mouse_mode(self):
        controller = self.serve_one()
        self.set_dword("General", "MouseMode", 2)
        self.assertEqual(self.touchctl("set", "usb", "setupchange")[0], 0)
        time.sleep(1.0)
        controller.down(8192, 8192)
        controller.move(4096, 4096)
        records = self.mouse.wait_for(3)
        self.assertEqual((records[2]["x"], records[2]["y"]), (16383, 16383))  # raw, unsmoothed


class RealPointer(UsblinkTest):
    def pointer_at(self):
        out = subprocess.run(["xdotool", "getmouselocation"], env=self.world.env, check=True,
                             capture_output=True, text=True).stdout.split()
        return tuple(int(field.split(":")[1]) for field in out[:2])

    def test_a_touch_moves_the_x_pointer_to_its_place(self):
        # The stand-in passes Usblink's records on to the X server: the whole loop from a
        # finger on the controller to the pointer of the desktop.
        self.add_mouse(drive_pointer=True)
        controller = self.add_controller(0)
        self.start()
        self.wait_served([controller])
        subprocess.run(["xdotool", "mousemove", "900", "50"], env=self.world.env, check=True)
        for _ in range(4):
            controller.move(4096, 12288)  # a quarter across, three quarters down
        controller.up(4096, 12288)
        self.mouse.wait_for(6)
        x, y = self.pointer_at()
        self.assertLessEqual(abs(x - 256), 2)
        self.assertLessEqual(abs(y - 576), 2)


class Multitouch(UsblinkTest):
    def two_fingers(self, own_kind):
        self.add_mouse()
        controller = self.add_controller(0, own_kind=own_kind)
        self.start()
        self.wait_served([controller])
        own = self.start_waiter("wait-event", POINT_EVENT, "6000")
        points = self.start_waiter("wait-points", "20000")
        controller.fingers([(4000, 4000, 3), (12000, 12000, 3)])
        code, lines = points()
        self.assertEqual(code, 0)
        section = lines[-1]["points"]
        self.assertEqual((section["status"], section["rows"], section["cols"]), (1, 2, 2))
        accepted = [(r["r"], r["c"], r["id"]) for r in section["records"] if r["status"] == 1]
        self.assertEqual(accepted, [(0, 0, 1), (1, 1, 2)])
        return own()[0]

    def test_own_kind_controller_sets_all_four_events(self):
        self.assertEqual(self.two_fingers(own_kind=True), 0)

    def test_generic_controller_sets_only_the_two_zorvik_events(self):
        self.assertEqual(self.two_fingers(own_kind=False), 1)  # the 0401 waiter times out


if __name__ == "__main__":
    unittest.main()
