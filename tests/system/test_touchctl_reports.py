"""touchctl's field diagnostics under Wine against Usblink and a simulated controller: the frame
rate it reports, and the blocked and dead beams it finds in the raw cell section (live, and from
a capture replayed by touchreplay)."""

import json
import os
import time
import unittest

from usblink_fixture import TOUCHCTL, UsblinkTest
import usbsim  # noqa: E402  (found through the fixture's path)

TOUCHREPLAY = "tools/touchreplay/touchreplay.exe"
FULL = 16383


def sweeps(passes, frames_per_pass, size=4):
    """A finger sliding corner to corner and back: every X and Y cell is passed over."""
    frames = []
    for k in range(passes * frames_per_pass):
        t = (k % frames_per_pass) / (frames_per_pass - 1)
        if (k // frames_per_pass) % 2:
            t = 1 - t
        frames.append([(t * FULL, t * FULL, size)])
    return frames


class Diagnostics(UsblinkTest):
    def serve_one(self):
        self.add_mouse()
        controller = self.add_controller(0)
        self.start()
        self.wait_served([controller])
        return controller

    def background(self, *args):
        """touchctl in the background; returns a function that waits for it and gives its exit
        code, its JSON lines and its other lines."""
        log = os.path.join(self.sim_dir, "touchctl-%s.log" % args[0])
        if os.path.exists(log):
            os.remove(log)
        process = self.world.start(TOUCHCTL, *args, log=log)
        self.waiters.append(process)
        time.sleep(0.5)  # it opens the events before the stream starts

        def result(timeout=60):
            code = process.wait(timeout=timeout)
            with open(log, encoding="latin-1") as out:
                lines = out.read().replace("\r\n", "\n").splitlines()
            return (code, [json.loads(line) for line in lines if line.startswith("{")],
                    [line for line in lines if line and not line.startswith("{")])
        return result

    def rates(self, lines):
        return {line["rate"]["source"]: line["rate"] for line in lines if "rate" in line}


class Rate(Diagnostics):
    def test_a_200_hz_controller_is_reported_within_5_percent(self):
        controller = self.serve_one()
        finish = self.background("rate", "3000")
        controller.stream(sweeps(4, 200), 200)  # 4 s, longer than the measurement
        code, lines, text = finish()
        self.assertEqual(code, 0, text)
        rates = self.rates(lines)
        for source in ("usb-points", "usb-cells"):
            rate = rates[source]
            self.assertTrue(rate["present"])
            self.assertAlmostEqual(rate["fps"], 200.0, delta=10.0, msg=rate)
            self.assertGreater(rate["frames"], 400, rate)  # the stream starts after the window
            self.assertAlmostEqual(rate["gap_ms"]["median"], 5.0, delta=0.5, msg=rate)
            self.assertLessEqual(rate["gap_ms"]["median"], rate["gap_ms"]["p99"])
            self.assertLessEqual(rate["gap_ms"]["p99"], rate["gap_ms"]["max"])
        self.assertFalse(rates["serial-points"]["present"])  # no serial service runs
        self.assertEqual(len(text), 1, text)
        self.assertRegex(text[0], r"^usb-points 19\d\.\d\d fps|^usb-points 20\d\.\d\d fps")
        self.assertIn("serial-points absent", text[0])

    def test_a_stalled_controller_shows_as_the_longest_silence(self):
        controller = self.serve_one()
        finish = self.background("rate", "2500")
        controller.stream(sweeps(1, 100), 200)  # 0.5 s of frames, then nothing
        code, lines, _ = finish()
        self.assertEqual(code, 0)
        rate = self.rates(lines)["usb-points"]
        self.assertGreater(rate["frames"], 50, rate)
        self.assertLess(rate["gap_ms"]["max"], 100, rate)
        self.assertGreater(rate["silence_ms"], 1200, rate)  # the rest of the window

    def test_without_a_service_every_source_is_absent(self):
        code, out = self.touchctl("rate", "300")
        self.assertEqual(code, 1)
        lines = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
        self.assertEqual([line["rate"]["present"] for line in lines], [False, False, False])


class Beams(Diagnostics):
    def beams(self, blocked=(), dead=()):
        controller = self.serve_one()
        controller.blocked_cells = list(blocked)
        controller.dead_cells = list(dead)
        svg = os.path.join(self.sim_dir, "beams.svg")
        if os.path.exists(svg):
            os.remove(svg)
        finish = self.background("beams", "7000", "--svg", svg)
        controller.stream(sweeps(3, 200), 100)  # 6 s
        code, lines, table = finish()
        self.assertEqual(code, 0, table)
        report = lines[0]["beams"]
        self.assertGreater(report["frames"], 400, report["frames"])
        self.assertEqual((report["cx"], report["cy"]), (64, 48))
        self.assertEqual(len(table), 1 + 64 + 48, table[:3])  # header, one row per cell
        with open(svg, encoding="utf-8") as strip:
            return report, table, strip.read()

    def test_a_clean_sensor_flags_no_beam(self):
        report, table, svg = self.beams()
        for axis in ("x", "y"):
            self.assertEqual((report[axis]["blocked"], report[axis]["dead"]), ([], []), axis)
        self.assertFalse(any(row.endswith(("blocked", "dead")) for row in table))
        self.assertEqual(svg.count('<rect class="ok"'), 64 + 48)

    def test_a_blocked_and_a_dead_beam_are_found(self):
        report, table, svg = self.beams(blocked=[("x", 20)], dead=[("y", 30)])
        self.assertEqual((report["x"]["blocked"], report["x"]["dead"]), ([20], []))
        self.assertEqual((report["y"]["blocked"], report["y"]["dead"]), ([], [30]))
        self.assertEqual(report["x"]["shadowed"][20], report["frames"])
        self.assertEqual(report["y"]["shadowed"][30], 0)
        self.assertTrue(table[1 + 20].startswith("x       20") and table[1 + 20].endswith("blocked"))
        self.assertTrue(table[1 + 64 + 30].endswith("dead"), table[1 + 64 + 30])
        self.assertEqual((svg.count('<rect class="blocked"'), svg.count('<rect class="dead"')),
                         (1, 1))


class BeamsFromCapture(UsblinkTest):
    def test_a_replayed_capture_gives_the_verdicts_of_the_live_section(self):
        folder = self.sim_dir
        stream = os.path.join(folder, "capture.stream")
        with open(stream, "w") as out:
            out.write("# a sweep over a sensor with X cell 5 blocked and X cell 40 dead\n")
            for fingers in sweeps(3, 200) + [[]]:
                frame = usbsim.cell_frame(64, 48, fingers, [("x", 5)], [("x", 40)])
                out.write(" ".join("%02x" % byte for byte in frame) + "\n")
        # touchreplay writes to standard output; world.run keeps it.
        code, replayed = self.world.run(TOUCHREPLAY, "--cell-levels", stream)
        self.assertEqual(code, 0, self.world.last_error)
        frames = os.path.join(folder, "capture.frames")
        with open(frames, "w") as out:
            out.write(replayed)
        code, out = self.touchctl("beams", "--frames", frames)
        self.assertEqual(code, 0, self.world.last_error)
        report = json.loads(out.splitlines()[0])["beams"]
        # The blocked beam keeps the final frame without fingers a touch frame, counted too.
        self.assertEqual(report["frames"], 601)
        self.assertEqual((report["x"]["blocked"], report["x"]["dead"]), ([5], [40]))
        self.assertEqual((report["y"]["blocked"], report["y"]["dead"]), ([], []))

        self.assertEqual(self.touchctl("beams", "--frames", frames + ".missing")[0], 1)
        self.assertEqual(self.touchctl("beams")[0], 2)


if __name__ == "__main__":
    unittest.main()
