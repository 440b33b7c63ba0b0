"""Soak: controllers plugged and unplugged many times while random streams play. Usblink never
hangs or crashes, always ends up serving exactly the controllers present, and neither its open
files (Wine keeps every file, pipe and device handle as a descriptor) nor its threads grow.
(Wine does not report another process's handle count, so those two stand for it.)"""

import os
import random
import time

from usblink_fixture import UsblinkTest

CYCLES = int(os.environ.get("ZORVIK_SOAK_CYCLES", "10"))


def resources(pid):
    return len(os.listdir("/proc/%d/fd" % pid)), len(os.listdir("/proc/%d/task" % pid))


class Soak(UsblinkTest):
    def test_plug_unplug_cycles_with_random_streams(self):
        rng = random.Random(20261207)
        self.add_mouse()
        pool = [self.add_controller(n) for n in range(3)]
        for controller in pool[1:]:
            controller.unplug()
        self.start()
        self.wait_served([pool[0]], timeout=20)
        baseline = None
        for cycle in range(CYCLES):
            wanted = rng.sample(range(3), rng.randint(0, 3))
            if len(wanted) == sum(c.running for c in pool):  # make the count change
                wanted = wanted[:-1] if wanted else [rng.randrange(3)]
            for number, controller in enumerate(pool):
                if number in wanted and not controller.running:
                    controller.plug()
                elif number not in wanted and controller.running:
                    controller.unplug()
            present = [c for c in pool if c.running]
            for controller in present:  # noise while the restart runs
                controller.send(bytes(rng.randrange(256) for _ in range(rng.randint(1, 300))))
            self.wait_served(present, timeout=30)
            for controller in present:
                controller.fingers([(rng.randrange(16384), rng.randrange(16384), 3)])
                controller.send(bytes(rng.randrange(256) for _ in range(200)))
                controller.fingers([])
            self.assertIsNone(self.process.poll(), "Usblink ended in cycle %d" % cycle)
            print("cycle %d: %d controllers, fds/threads %s" % (cycle, len(present),
                                                               resources(self.process.pid)),
                  flush=True)
            if cycle == 1:
                baseline = resources(self.process.pid)
        if baseline is not None:
            # Controllers present at the end may hold up to three pipes and a thread each.
            files, threads = resources(self.process.pid)
            self.assertLessEqual(files, baseline[0] + 6)
            self.assertLessEqual(threads, baseline[1] + 3)
