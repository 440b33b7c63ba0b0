#!/usr/bin/env python3
"""Orbisk's multi-point views under Wine at a controller's full rate: with the control panel on
its Option/Tools page, and then with the point view ("Touch Test", multi-point) and the cell
view ("Multitouch View >>") open, a simulated 256 x 144-cell controller sends cell frames at
200 frames/s with 1, 5 and 10 moving fingers through Usblink. For each phase: the CPU share of
Orbisk, the wineserver, the X server and Usblink (Orbisk's as a ratio to Usblink's, which the
machine's load moves much less), and the frames the view drew against the frames published.

    python3 bench/touch_view_bench.py [--build build/win64] [--seconds 10] [--rate 200]
                                      [--orbisk PATH] [--compare PATH --rounds 3]
With --compare, the two Orbisks take turns, each opening the panel and running every phase, for
the given rounds; the medians of each and Orbisk's ratio pair by pair are printed: a comparison
the machine's load moves far less than two separate runs.
Needs the win64 build (Orbisk, Usblink, uictl, touchctl, simdev and bench/view_frames)."""

import argparse
import json
import os
import statistics
import subprocess
import sys
import time

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(SOURCE, "testkit", "usbsim"))
import usbsim  # noqa: E402
from usblink_bench import cpu_seconds  # noqa: E402

UICTL = "testkit/uictl/uictl.exe"
SHEET = "Orbisk Touch Controller System"
TOUCH_TEST, MULTITOUCH_VIEW, MULTI_POINT = 1021, 1022, 1023
CELLS_X, CELLS_Y = 256, 144


def fingers_at(count, k):
    """`count` fingers spread over the sensor, each moving a little with frame k."""
    step = 16383 // (count + 1)
    drift = (k * 37) % 600
    return [(step * (f + 1) + drift - 300, 2000 + (f * 4513 + drift) % 12000, 3)
            for f in range(count)]


def show_phase(view, r, seconds):
    drawn = ("drawn %d of %d published (%.0f /s)" % (r["drawn"], r["sent"], r["drawn"] / seconds)
             if "drawn" in r else "")
    print("%-10s %2d fingers at %3.0f frames/s: Orbisk %5.1f %%, wineserver %5.1f %%, "
          "X server %5.1f %%, Usblink %5.1f %%, Orbisk/Usblink %5.2f  %s" % (
              view, r["fingers"], r["rate"], r["orbisk"], r["wineserver"], r["xserver"],
              r["usblink"], r["orbisk"] / max(r["usblink"], 0.01), drawn), flush=True)


class Bench:
    def __init__(self, args):
        self.args = args
        self.world = usbsim.WineWorld(args.build, SOURCE)
        with open(self.world.prefix + ".display") as display:
            self.xserver = int(display.read().split()[1])
        sim = os.path.join(self.world.build_dir, "sim", "view-bench")
        self.mouse = usbsim.MouseStandIn(self.world, sim)
        self.controller = usbsim.SimController(self.world, 0, sim)
        # The views draw their marks only when General can be opened; a prefix a test left
        # without it would measure the text alone.
        subprocess.run(["wine", "reg", "add", "HKLM\\Software\\ZorvikTouchParam\\General", "/v",
                        "ScreenRotateFlag", "/t", "REG_DWORD", "/d", "0", "/f"],
                       env=self.world.env, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        self.usblink = self.world.start_usblink()
        self.panel = None

    def ui(self, *args):
        code, out = self.world.run(UICTL, *args)
        if code != 0:
            raise RuntimeError("uictl %s: %s" % (" ".join(args), self.world.last_error))
        return [json.loads(line) for line in out.splitlines() if line.strip()]

    def click(self, box):
        subprocess.run(["xdotool", "mousemove", str(box["x"] + box["w"] // 2),
                        str(box["y"] + box["h"] // 2), "click", "1"], env=self.world.env,
                       check=True)
        time.sleep(0.4)

    def open_panel(self, orbisk):
        self.panel = self.world.start(orbisk)
        self.ui("wait-window", SHEET, "20000")
        time.sleep(0.5)
        self.click(next(t for t in self.ui("tabs", SHEET) if t["text"] == "Option/Tools"))
        multi_point = {c["id"]: c for c in self.ui("controls", SHEET)}[MULTI_POINT]
        if multi_point.get("checked") != 1:  # a panel opened before may have chosen it
            self.click(multi_point)

    def close_panel(self):
        if self.panel is not None and self.panel.poll() is None:
            self.world.run(UICTL, "cancel", SHEET)
            self.panel.wait(timeout=15)
        time.sleep(0.5)

    def drawn(self):
        code, out = self.world.run("bench/view_frames.exe")
        return json.loads(out)["drawn"] if code == 0 else None

    def open_view(self, button):
        self.click({c["id"]: c for c in self.ui("controls", SHEET)}[button])
        end = time.monotonic() + 10
        while self.drawn() is None:
            if time.monotonic() > end:
                raise RuntimeError("the view did not open")
            time.sleep(0.2)
        time.sleep(0.5)

    def close_view(self):
        subprocess.run(["xdotool", "key", "Escape"], env=self.world.env, check=True)
        time.sleep(1.0)

    def phase(self, fingers):
        """Streams for the phase's seconds; the CPU shares and frames sent and drawn."""
        server = self.world.server_pid()
        pids = {"orbisk": self.panel.pid, "wineserver": server, "xserver": self.xserver,
                "usblink": self.usblink.pid}
        period = 1 / self.args.rate
        drawn_before = self.drawn()
        before = {name: cpu_seconds(pid) for name, pid in pids.items()}
        start = time.monotonic()
        sent = 0
        while True:
            now = time.monotonic()
            due = start + sent * period
            if now - start >= self.args.seconds:
                break
            if now >= due:
                self.controller.fingers(fingers_at(fingers, sent), cx=CELLS_X, cy=CELLS_Y)
                sent += 1
            else:
                time.sleep(min(0.001, due - now))
        elapsed = time.monotonic() - start
        shares = {name: 100 * (cpu_seconds(pid) - before[name]) / elapsed
                  for name, pid in pids.items()}
        time.sleep(0.1)  # the last frame, held for the next refresh, is drawn by now
        drawn_after = self.drawn()
        self.mouse.take()
        result = dict(shares, fingers=fingers, rate=sent / elapsed, sent=sent)
        if drawn_before is not None and drawn_after is not None:
            result["drawn"] = drawn_after - drawn_before
        return result

    def wait_for_usblink(self):
        end = time.monotonic() + 30
        while self.controller.queries == 0:
            if self.usblink.poll() is not None or time.monotonic() > end:
                raise RuntimeError("Usblink did not serve the controller")
            time.sleep(0.1)
        time.sleep(1.5)

    def panel_phases(self, orbisk, show):
        """Opens the panel with `orbisk` and runs every phase: {(view, fingers): figures}."""
        self.open_panel(orbisk)
        results = {}
        for view, button in (("no view", None), ("point view", TOUCH_TEST),
                             ("cell view", MULTITOUCH_VIEW)):
            if button:
                self.open_view(button)
            for fingers in self.args.fingers:
                r = self.phase(fingers)
                results[(view, fingers)] = r
                if show:
                    show_phase(view, r, self.args.seconds)
            if button:
                self.close_view()
        self.close_panel()
        return results

    def run(self):
        self.wait_for_usblink()
        results = self.panel_phases(self.args.orbisk, show=True)
        for view in ("point view", "cell view"):
            for fingers in self.args.fingers:
                r, base = results[(view, fingers)], results[("no view", fingers)]
                print("%-10s %2d fingers: the view adds wineserver %+5.1f points, X server %+5.1f "
                      "points" % (view, fingers, r["wineserver"] - base["wineserver"],
                                  r["xserver"] - base["xserver"]))

    def compare(self):
        self.wait_for_usblink()
        builds = (self.args.orbisk, self.args.compare)
        rounds = {build: [] for build in builds}
        for number in range(self.args.rounds):
            for build in builds:
                rounds[build].append(self.panel_phases(build, show=False))
            print("round %d of %d done" % (number + 1, self.args.rounds), flush=True)
        for phase in rounds[builds[0]][0]:
            for build in builds:
                figures = {name: statistics.median(r[phase][name] for r in rounds[build])
                           for name in ("orbisk", "wineserver", "xserver", "usblink")}
                print("%-10s %2d fingers, %s: Orbisk %5.1f %%, wineserver %5.1f %%, X server "
                      "%5.1f %%, Usblink %5.1f %% (medians)" % (phase + (build,) + tuple(
                          figures[name] for name in ("orbisk", "wineserver", "xserver",
                                                     "usblink"))))
            ratios = [a[phase]["orbisk"] / max(b[phase]["orbisk"], 0.01)
                      for a, b in zip(rounds[builds[0]], rounds[builds[1]])]
            print("%-10s %2d fingers: Orbisk first / second, pair by pair: median %.2f (%s)" % (
                phase + (statistics.median(ratios), ", ".join("%.2f" % r for r in ratios))))

    def close(self):
        self.close_panel()
        if self.usblink.poll() is None:
            self.world.run("tools/touchctl/touchctl.exe", "set", "usb", "exit")
            self.usblink.wait(timeout=15)
        self.controller.unplug()
        self.mouse.close()
        subprocess.run([os.path.join(SOURCE, "tests/wine/world.sh"), "down", self.world.prefix])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(SOURCE, "build", "win64"))
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--orbisk", default="panel/win32/Orbisk.exe",
                        help="the Orbisk to measure (another build's, to compare)")
    parser.add_argument("--compare", help="a second Orbisk, measured in turns with the first")
    parser.add_argument("--rounds", type=int, default=3, help="turns each, with --compare")
    parser.add_argument("--rate", type=float, default=200)
    parser.add_argument("--fingers", type=lambda s: [int(v) for v in s.split(",")],
                        default=[1, 5, 10])
    args = parser.parse_args()
    bench = Bench(args)
    try:
        if args.compare:
            bench.compare()
        else:
            bench.run()
    finally:
        bench.close()


if __name__ == "__main__":
    main()
