#!/usr/bin/env python3
"""Serlink under Wine: CPU use while idle with one open, silent COM port, with the modem-line
shim (comm-event waits behave as on hardware) and without it (every wait ends at once with no
event bits; Serlink must not spin).

    python3 bench/serlink_bench.py [--seconds 10]
Needs the win64 build (cmake --preset win64 && cmake --build --preset win64)."""

import argparse
import os
import subprocess
import sys
import time

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(SOURCE, "testkit", "usbsim"))
sys.path.insert(0, os.path.join(SOURCE, "testkit", "serialsim"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import serialsim  # noqa: E402
import usbsim  # noqa: E402
from usblink_bench import cpu_share  # noqa: E402

LIST_KEY = "HKLM\\Software\\ZorvikTouchParam\\SerialAcitve"


def reg(world, *args):
    subprocess.run(["wine", "reg", *args], env=world.env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def measure(world, build, seconds, shim):
    env = dict(world.env)
    if shim:
        env = serialsim.preload_env(env, serialsim.shim_path(build))
    serialsim.remove_com_links(world.prefix)
    mouse = usbsim.MouseStandIn(world, os.path.join(build, "sim", "bench"))
    port = serialsim.SerialController(world.prefix, 3, answer="silent")
    serlink = world.start("serialsvc/win32/Serlink.exe", env=env)
    try:
        end = time.monotonic() + 15
        while port.queries == 0 and time.monotonic() < end:
            time.sleep(0.1)
        if port.queries == 0:
            sys.exit("serlink_bench: Serlink did not open COM3")
        time.sleep(2)
        server = world.server_pid()
        pids = [serlink.pid] + ([server] if server else [])
        share = cpu_share(pids, seconds)
        print("CPU idle, one open silent port, %s: Serlink %.2f %%, wineserver %.2f %%"
              % ("with the modem-line shim" if shim else "without the shim (empty wake-ups)",
                 share[0], share[1] if server else float("nan")))
    finally:
        world.run("tools/touchctl/touchctl.exe", "set", "serial", "exit")
        serlink.wait(timeout=15)
        port.close()
        mouse.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(SOURCE, "build", "win64"))
    parser.add_argument("--seconds", type=float, default=10)
    args = parser.parse_args()
    world = usbsim.WineWorld(args.build, SOURCE)
    try:
        reg(world, "add", LIST_KEY, "/v", "NextInstanceCount", "/t", "REG_DWORD", "/d", "1", "/f")
        reg(world, "add", LIST_KEY + "\\COM00", "/v", "COMID", "/d", "3", "/f")
        for shim in (True, False):
            measure(world, args.build, args.seconds, shim)
    finally:
        subprocess.run([os.path.join(SOURCE, "tests/wine/world.sh"), "down", world.prefix])


if __name__ == "__main__":
    main()
