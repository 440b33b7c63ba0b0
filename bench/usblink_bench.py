#!/usr/bin/env python3
"""Usblink under Wine: latency from a controller write to the pointer record leaving Usblink,
and CPU use idle and at 200 cell frames per second with five fingers.

    python3 bench/usblink_bench.py [--touches 1000] [--seconds 10]
Needs the win64 build (cmake --preset win64 && cmake --build --preset win64)."""

import argparse
import os
import subprocess
import sys
import time

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(SOURCE, "tools", "usbsim"))
import usbsim  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def cpu_share(pids, seconds, during=None):
    before = [cpu_seconds(p) for p in pids]
    end = time.monotonic() + seconds
    start = time.monotonic()
    while time.monotonic() < end:
        if during:
            during()
        else:
            time.sleep(0.1)
    elapsed = time.monotonic() - start
    return [100 * (cpu_seconds(p) - b) / elapsed for p, b in zip(pids, before)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(SOURCE, "build", "win64"))
    parser.add_argument("--touches", type=int, default=1000)
    parser.add_argument("--seconds", type=float, default=10)
    args = parser.parse_args()

    world = usbsim.WineWorld(args.build, SOURCE)
    subprocess.run(["wine", "reg", "add", "HKLM\\Software\\ZorvikTouchParam\\General", "/v",
                    "MouseMode", "/t", "REG_DWORD", "/d", "2", "/f"], env=world.env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    world.set_windows_version("Usblink.exe", "winxp")
    sim = os.path.join(args.build, "sim", "bench")
    mouse = usbsim.MouseStandIn(world, sim)
    controller = usbsim.SimController(world, 0, sim)
    usblink = world.start("usbsvc/win32/Usblink.exe")
    try:
        while controller.queries == 0:
            time.sleep(0.1)
        time.sleep(1.5)
        mouse.take()
        controller.down(100, 100)
        mouse.wait_for(2)

        # Latency: one report at a time (a raw move in MouseMode 2), to its record.
        latencies = []
        for i in range(args.touches):
            x = 200 + (i * 97) % 16000
            sent = time.monotonic()
            controller.move(x, 8000)
            records = mouse.wait_for(1, timeout=2)
            if records:
                latencies.append(records[0]["time"] - sent)
        latencies.sort()
        p50 = latencies[len(latencies) // 2] * 1000
        p99 = latencies[int(len(latencies) * 0.99) - 1] * 1000
        print("latency over %d touches: p50 %.2f ms, p99 %.2f ms, max %.2f ms"
              % (len(latencies), p50, p99, latencies[-1] * 1000))
        controller.up()

        server = world.server_pid()
        pids = [usblink.pid] + ([server] if server else [])
        idle = cpu_share(pids, args.seconds)
        print("CPU idle with a controller connected: Usblink %.2f %%, wineserver %.2f %%"
              % (idle[0], idle[1] if server else float("nan")))

        frame = [(2000 + f * 3000, 3000 + f * 2500, 3) for f in range(5)]
        period = 1 / 200
        state = {"next": time.monotonic(), "frames": 0}

        def feed():
            now = time.monotonic()
            if now >= state["next"]:
                controller.fingers(frame, cx=256, cy=144)
                state["frames"] += 1
                state["next"] += period
            else:
                time.sleep(min(0.001, state["next"] - now))
        busy = cpu_share(pids, args.seconds, during=feed)
        mouse.take()
        print("CPU at %.0f cell frames/s, 5 fingers, 256 x 144 cells: Usblink %.2f %%, "
              "wineserver %.2f %%" % (state["frames"] / args.seconds, busy[0],
                                      busy[1] if server else float("nan")))
    finally:
        world.run("tools/touchctl/touchctl.exe", "set", "usb", "exit")
        usblink.wait(timeout=15)
        controller.unplug()
        mouse.close()
        subprocess.run([os.path.join(SOURCE, "tests/wine/world.sh"), "down", world.prefix])


if __name__ == "__main__":
    main()
