"""Usblink when things go wrong: exit in the middle of a restart, controllers that cannot be
opened or stop taking data, a control event that cannot be created, restarts asked for twice.
Seen from outside: exit codes and times, the files Wine holds open, the controllers' queries."""

import os
import subprocess
import time
import unittest

from usblink_fixture import BUILD, PipeWatch, UsblinkTest, wine_processes

BEEP_EVENT = "MERIDAX_TOUCH_EVENT_3F98A_BEEP"
SIMDEV = "testkit/usbsim/simdev.exe"


class FaultTest(UsblinkTest):
    def exit_and_time(self, limit):
        """Sets the exit event; Usblink must end with 0 within `limit` seconds, leaving no
        process behind. Returns the moment the exit was asked for."""
        asked = time.monotonic()
        self.assertEqual(self.touchctl("set", "usb", "exit")[0], 0)
        try:
            code = self.process.wait(timeout=limit)
        except subprocess.TimeoutExpired:
            self.fail("Usblink still runs %.0f s after the exit event" % limit)
        self.assertEqual(code, 0)
        self.wait_until(lambda: not wine_processes(self.world, "Usblink.exe"), 3,
                        "no Usblink process to be left")
        return asked

    def watch_pipes(self, controllers):
        watch = PipeWatch(self.world, [p for c in controllers for p in c.pipe_paths()])
        self.addCleanup(watch.stop)
        self.assertTrue(all(watch.held.values()), "the served pipes are not seen open")
        return watch

    def assert_closed_since(self, watch, moment):
        """Every pipe ends closed, and none was opened again after `moment`."""
        self.wait_until(lambda: not any(watch.held.values()), 3, "the pipes to be closed")
        self.assertEqual(watch.opened_since(moment), [])

    def wait_closed(self, watch, path, timeout, what):
        self.wait_until(lambda: not watch.held[path], timeout, what)


class UsblinkShutDown(FaultTest):
    def test_exit_during_a_hot_plug_restart_ends_it_and_opens_nothing_again(self):
        self.add_mouse()
        controllers = [self.add_controller(0), self.add_controller(1)]
        self.start()
        self.wait_served(controllers)
        watch = self.watch_pipes(controllers)
        controllers.append(self.add_controller(2))
        self.wait_closed(watch, controllers[0].pipe_paths()[0], 6, "the restart to begin")
        asked = self.exit_and_time(4)
        self.assert_closed_since(watch, asked)

    def test_exit_during_a_rescan_while_the_watcher_waits_to_restart(self):
        # The rescan holds the restarts; a controller plugged after its enumeration makes the
        # watcher wait for its turn. Exit must end both without starting anything again.
        self.add_mouse()
        controllers = [self.add_controller(0)]
        self.start()
        self.wait_served(controllers)
        watch = self.watch_pipes(controllers)
        self.assertEqual(self.touchctl("set", "usb", "rescan")[0], 0)
        self.wait_closed(watch, controllers[0].pipe_paths()[0], 5, "the rescan to begin")
        time.sleep(1.3)  # past the rescan's enumeration
        controllers.append(self.add_controller(1))
        time.sleep(2.0)  # the watcher has seen two controllers where one was started
        asked = self.exit_and_time(4)
        self.assert_closed_since(watch, asked)


class UsblinkOpenRetries(FaultTest):
    def unreachable(self, controller):
        """The interface stays present but its pipes cannot be opened."""
        self.world.unlink(controller.path[4:])

    def test_exit_ends_the_retries_of_the_first_start(self):
        self.add_mouse()
        controller = self.add_controller(0)
        self.unreachable(controller)
        self.start()

        def retrying():
            usb, _ = self.lists()
            return usb.get("NextInstanceCount") == 1
        self.wait_until(retrying, 10, "the first start to reach the controller")
        time.sleep(1.0)  # the first open failed; the retry waits
        self.exit_and_time(3)
        self.assertEqual(controller.queries, 0)

    def test_exit_ends_the_retries_of_a_rescan(self):
        # The rescan runs on the thread that waits for the exit event.
        self.add_mouse()
        controller = self.add_controller(0)
        self.start()
        self.wait_served([controller])
        watch = self.watch_pipes([controller])
        self.unreachable(controller)
        self.assertEqual(self.touchctl("set", "usb", "rescan")[0], 0)
        self.wait_closed(watch, controller.pipe_paths()[0], 5, "the rescan to begin")
        time.sleep(3.5)  # stopped, 1 s, enumerated, 1.5 s, the first open failed
        self.exit_and_time(3)


class UsblinkControlEvents(FaultTest):
    def test_an_event_that_cannot_be_created_leaves_the_others_working(self):
        # A mutex holding the tick event's name makes its creation fail.
        log = os.path.join(BUILD, "sim", "mutex-holder.log")
        if os.path.exists(log):
            os.remove(log)
        self.waiters.append(self.world.start(SIMDEV, "mutex", BEEP_EVENT, "120000", log=log))

        def held():
            with open(log, encoding="latin-1") as out:
                return "held" in out.read()
        self.wait_until(held, 10, "the mutex to be held")
        self.add_mouse()
        controller = self.add_controller(0)
        self.start()
        self.wait_served([controller])
        self.rescan_and_wait_served([controller])
        self.exit_and_time(4)


class UsblinkRestarts(FaultTest):
    def test_a_rescan_queries_each_controller_once_more(self):
        # While a rescan rebuilds the list the watcher must not take the half-built list for a
        # change in the controllers present (another outage, another query).
        self.add_mouse()
        controllers = [self.add_controller(0), self.add_controller(1)]
        self.start()
        self.wait_served(controllers)
        time.sleep(3.0)  # the watcher's pass after the first start is over
        before = self.rescan_and_wait_served(controllers)
        time.sleep(9.0)  # long enough for a needless second restart to query again
        self.assertEqual([c.queries - q for c, q in zip(controllers, before)], [1, 1])


class UsblinkStalledController(FaultTest):
    """A controller that stops taking data on its write pipe: acknowledges and queries find the
    pipe full."""

    def serve_stalled(self):
        self.add_mouse()
        controller = self.add_controller(0)
        self.start()
        self.wait_served([controller])
        self.mouse.take()
        controller.stall_writes()
        controller.down(8192, 8192)  # its acknowledgement finds the pipe full
        time.sleep(1.0)
        return controller

    def test_exit_while_a_write_is_blocked(self):
        self.serve_stalled()
        self.exit_and_time(4)

    def test_touches_still_move_the_pointer_and_writes_resume(self):
        controller = self.serve_stalled()
        controller.move(4096, 4096)
        controller.up(4096, 4096)
        records = self.mouse.wait_for(3, timeout=10)
        self.assertGreaterEqual(len(records), 3, "the reader is stuck behind a write")
        controller.resume_writes()
        acks = controller.ack_count()
        controller.down(8192, 8192)
        controller.up(8192, 8192)
        self.wait_until(lambda: controller.ack_count() >= acks + 2, 10,
                        "acknowledges after the pipe drained")
        # A rescan (stop and start under the restart lock) is not held up either.
        asked = controller.queries
        self.assertEqual(self.touchctl("set", "usb", "rescan")[0], 0)
        self.wait_until(lambda: controller.queries > asked, 12, "the rescan's device query")
        self.exit_and_time(4)


if __name__ == "__main__":
    unittest.main()
