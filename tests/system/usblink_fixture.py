"""Test world for whole-program tests of Usblink under Wine: a clean registry, the mouse driver
stand-in, simulated controllers, and Usblink itself, ended at the close of every test."""

import json
import os
import re
import subprocess
import sys
import threading
import time
import unittest

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("ZORVIK_WIN64_BUILD", os.path.join(SOURCE, "build", "win64"))
sys.path.insert(0, os.path.join(SOURCE, "testkit", "usbsim"))

import usbsim  # noqa: E402

USBLINK = "usbsvc/win32/Usblink.exe"
TOUCHCTL = "tools/touchctl/touchctl.exe"
CLICK_ACK = "MERIDAX_TOUCH_EVENT_3F98A_CLICKCHANGERECV"
# touchctl commands whose first line says that their event is open. A counter is not waited for:
# its window runs from its start, and waiting would take that time from the test's actions.
ANNOUNCING = ("wait-event", "serial-watch")


class UsblinkTest(unittest.TestCase):
    """Each test starts from an empty product key and no present controllers."""

    windows_version = "winxp"  # takes the Beep route; the beep device does not exist under Wine

    def setUp(self):
        self.world = usbsim.WineWorld(BUILD, SOURCE)
        self.sim_dir = os.path.join(BUILD, "sim", self.id().split(".")[-1])
        os.makedirs(self.sim_dir, exist_ok=True)
        self.reg("delete", "HKLM\\Software\\ZorvikTouchParam", "/f")
        self.world.set_windows_version("Usblink.exe", self.windows_version)
        self.controllers = []
        self.mouse = None
        self.process = None
        self.waiters = []

    service = "usb"  # touchctl's name for the service under test, and the program's
    program = "Usblink"

    def tearDown(self):
        hung = False
        if self.process is not None and self.process.poll() is None:
            self.touchctl("set", self.service, "exit")
            try:
                self.process.wait(timeout=15)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
                hung = True
        # The world is put back even after a hang: controllers left present would be served by
        # the next test's Usblink.
        for waiter in self.waiters:
            if waiter.poll() is None:
                waiter.kill()
        for controller in self.controllers:
            if controller.running:
                controller.unplug()
        if self.mouse is not None:
            self.mouse.close()
        if hung:
            self.fail("%s did not end after the exit event" % self.program)

    # The world.
    def reg(self, *args):
        return subprocess.run(["wine", "reg", *args], env=self.world.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode

    def set_dword(self, key, name, value):
        self.assertEqual(self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\" + key, "/v", name,
                                  "/t", "REG_DWORD", "/d", str(value), "/f"), 0)

    def touchctl(self, *args):
        """touchctl's exit code and output."""
        return self.world.run_tool(TOUCHCTL, *args)

    def lists(self):
        code, out = self.touchctl("list")
        self.assertEqual(code, 0, "touchctl list: %r %r" % (out, self.world.last_error))
        lines = [json.loads(line) for line in out.splitlines() if line.strip()]
        return lines[0]["usb"], lines[1]["serial"]

    def add_mouse(self, drive_pointer=False):
        self.mouse = usbsim.MouseStandIn(self.world, self.sim_dir, drive_pointer=drive_pointer)
        return self.mouse

    def add_controller(self, number, **kind):
        controller = usbsim.SimController(self.world, number, self.sim_dir, **kind)
        self.controllers.append(controller)
        return controller

    executable = USBLINK

    def start(self, log_name=None, trace_beeps=False):
        """Starts the service, its output to build/win64/sim/LOG_NAME (the program's name in lower
        case by default). With `trace_beeps`, Wine's relay trace of its Beep calls goes there too
        (`beeps()` reads them back)."""
        self.log = os.path.join(BUILD, "sim", log_name or self.program.lower() + ".log")
        env = None
        if trace_beeps:
            self.reg("add", "HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude", "/d",
                     "kernel32.Beep", "/f")
            env = dict(self.world.env, WINEDEBUG="+relay")
            if os.path.exists(self.log):
                os.remove(self.log)
        self.process = self.world.start(self.executable, log=self.log, env=env)
        return self.process

    def beeps(self):
        """(frequency, duration) of every Beep call so far."""
        calls = []
        with open(self.log, encoding="latin-1") as log:
            for line in log:
                match = re.search(r"Call KERNEL32\.Beep\(([0-9a-f]+),([0-9a-f]+)\)", line)
                if match:
                    calls.append((int(match.group(1), 16), int(match.group(2), 16)))
        return calls

    def wait_until(self, condition, timeout, what):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if condition():
                return
            time.sleep(0.1)
        self.fail("timed out after %.1f s waiting for %s" % (timeout, what))

    def wait_served(self, controllers, timeout=15):
        """Until every controller has been asked the device query and the list names them."""
        def served():
            usb, _ = self.lists()
            return (all(c.queries > 0 for c in controllers) and usb.get("present") and
                    usb.get("NextInstanceCount") == len(controllers) and
                    sum(d.get("DeviceActive") == "Yes" for d in usb["devices"]) == len(controllers))
        self.wait_until(served, timeout, "the controllers to be served")
        time.sleep(0.5)  # the settings load follows a start by about 0.2 s

    def rescan_and_wait_served(self, controllers, timeout=15):
        """Sets the rescan event, then waits until every controller was asked the device query
        again and the list names them all."""
        asked = [c.queries for c in controllers]
        self.assertEqual(self.touchctl("set", "usb", "rescan")[0], 0)
        self.wait_until(lambda: all(c.queries > q for c, q in zip(controllers, asked)), timeout,
                        "the rescan's device queries")
        self.wait_served(controllers)
        return asked

    def start_waiter(self, *args):
        """touchctl in the background; returns a function that waits for it and gives its lines."""
        log = os.path.join(BUILD, "sim", "%s-waiter-%d.log" % (self.id().split(".")[-1],
                                                               len(self.waiters)))
        if os.path.exists(log):
            os.remove(log)
        waiter = self.world.start(TOUCHCTL, *args, log=log)
        self.waiters.append(waiter)
        if args[0] in ANNOUNCING:
            # Its first line comes once the event is open: from then on no signal is missed,
            # however long Wine took to start it.
            def announced():
                with open(log, encoding="latin-1") as out:
                    return waiter.poll() is not None or out.read().startswith("{")
            self.wait_until(announced, 30, "touchctl %s to open its event" % args[0])
        else:
            time.sleep(0.5)

        def result(timeout=30):
            code = waiter.wait(timeout=timeout)
            with open(log, encoding="latin-1") as out:
                lines = [json.loads(line) for line in out.read().splitlines()
                         if line.startswith("{")]
            return code, lines
        return result


class PipeWatch:
    """Samples, from outside, which of the given files Wine holds open; keeps every change."""

    def __init__(self, world, paths, period=0.05):
        self.world = world
        self.paths = list(paths)
        self.period = period
        self.changes = []  # (monotonic time, path, held)
        self.held = {path: world.server_holds(path) for path in self.paths}
        self.running = True
        self.thread = threading.Thread(target=self._watch, daemon=True)
        self.thread.start()

    def _watch(self):
        while self.running:
            for path in self.paths:
                held = self.world.server_holds(path)
                if held != self.held[path]:
                    self.held[path] = held
                    self.changes.append((time.monotonic(), path, held))
            time.sleep(self.period)

    def opened_since(self, moment):
        return [path for at, path, held in self.changes if held and at > moment]

    def stop(self):
        self.running = False
        self.thread.join()


def wine_processes(world, exe_name):
    """Process ids of the prefix's processes whose command line names `exe_name`."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as cmdline:
                if exe_name.encode() not in cmdline.read():
                    continue
            with open("/proc/%s/environ" % pid, "rb") as env:
                if ("WINEPREFIX=" + world.prefix).encode() in env.read().split(b"\0"):
                    found.append(int(pid))
        except OSError:
            continue
    return found
