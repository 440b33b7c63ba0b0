"""Soak: serial controllers come and go between rescans while noise and touches play. Serlink
never hangs or crashes, always lists exactly the controllers that answer, and neither its handles
(the wineserver's count: events, mutexes, threads, ports, keys) nor its descriptors and threads
grow from one rebuild to the next."""

import random
import time

from serlink_fixture import SerlinkTest
from test_soak import CYCLES, HandleLedger, handle_census, resources

PORTS = (3, 8, 15)


class SerlinkSoak(SerlinkTest):
    def test_rescans_with_changing_controllers(self):
        rng = random.Random(20261208)
        self.add_mouse()
        self.start()
        self.wait_started()
        present = {}
        baseline = None
        ledger = HandleLedger()
        for cycle in range(CYCLES):
            wanted = set(rng.sample(PORTS, rng.randint(0, len(PORTS))))
            for number in PORTS:
                if number in wanted and number not in present:
                    present[number] = self.add_serial(number, answer=rng.choice(["echo", "texts"]))
                elif number not in wanted and number in present:
                    controller = present.pop(number)
                    self.serial_controllers.remove(controller)
                    controller.close()
            self.rescan_and_wait(len(present))
            listed = [int(d["COMID"]) for d in self.serial_list()["devices"]]
            self.assertEqual(listed, sorted(present), "cycle %d" % cycle)
            for controller in present.values():
                controller.send(bytes(rng.randrange(256) for _ in range(rng.randint(1, 2000))))
                controller.lift()
                controller.touch([(rng.randrange(1024), rng.randrange(768))])
                controller.lift()
            time.sleep(0.5)
            self.assertIsNone(self.process.poll(), "Serlink ended in cycle %d" % cycle)
            census = handle_census(self, "Serlink.exe")
            ledger.record(cycle, len(present), census)
            print("cycle %d: ports %s, fds/threads %s, handles %d %s" % (
                cycle, sorted(present), resources(self.process.pid), census["handles"],
                census["types"]), flush=True)
            if cycle == 1:
                baseline = (len(present), resources(self.process.pid))
        self.assertEqual(ledger.grown, [])
        if baseline is not None:
            files, threads = resources(self.process.pid)
            # Each listed port may hold a descriptor and a listener thread (and Wine's wait
            # thread) more than at the baseline.
            extra = max(0, len(present) - baseline[0])
            self.assertLessEqual(files, baseline[1][0] + 2 * extra + 4)
            self.assertLessEqual(threads, baseline[1][1] + 2 * extra + 2)


if __name__ == "__main__":
    import unittest
    unittest.main()
