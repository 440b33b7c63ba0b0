#!/usr/bin/env python3
"""Usblink under Wine: latency from a controller write to the pointer record leaving Usblink,
and CPU use idle and at 200 cell frames per second with five fingers; then the same for the
floor program (bench/latency_floor_win32.cpp) on the same pipe, and Usblink's figures as ratios
to the floor's.

    python3 bench/usblink_bench.py [--touches 1000] [--seconds 10]
Needs the win64 build (cmake --preset win64 && cmake --build --preset win64)."""

import argparse
import os
import signal
import subprocess
import sys
import time

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(SOURCE, "testkit", "usbsim"))
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


def measure(name, process, world, controller, mouse, args):
    """Latency of single reports and CPU idle and at 200 cell frames/s, for the program that
    serves the controller now."""
    mouse.take()
    controller.down(100, 100)
    mouse.wait_for(1, timeout=5)
    mouse.take()

    # Latency: one report at a time (a raw move in MouseMode 2), to its record.
    latencies = []
    for i in range(args.touches):
        x = 200 + (i * 97) % 16000
        sent = time.monotonic()
        controller.move(x, 8000)
        records = mouse.wait_for(1, timeout=2)
        if records:
            latencies.append(records[0]["time"] - sent)
        mouse.take()
        if (i + 1) % 250 == 0:
            print("  %s: %d of %d reports" % (name, i + 1, args.touches), flush=True)
    latencies.sort()
    result = {
        "p50": latencies[len(latencies) // 2] * 1000,
        "p99": latencies[int(len(latencies) * 0.99) - 1] * 1000,
        "max": latencies[-1] * 1000,
        "count": len(latencies),
    }
    controller.up()
    time.sleep(0.5)

    server = world.server_pid()
    pids = [process.pid] + ([server] if server else [])
    idle = cpu_share(pids, args.seconds)
    result["idle"] = idle[0]
    result["idle_server"] = idle[1] if server else float("nan")

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
    result["rate"] = state["frames"] / args.seconds
    result["busy"] = busy[0]
    result["busy_server"] = busy[1] if server else float("nan")
    print("%s: latency over %d reports p50 %.2f ms, p99 %.2f ms, max %.2f ms; CPU idle %.2f %% "
          "(wineserver %.2f %%); CPU at %.0f cell frames/s %.2f %% (wineserver %.2f %%)"
          % (name, result["count"], result["p50"], result["p99"], result["max"], result["idle"],
             result["idle_server"], result["rate"], result["busy"], result["busy_server"]),
          flush=True)
    return result


def syscalls_during(pid, action, folder, name):
    """The system calls of every thread of `pid` while `action` runs, counted by strace:
    {"total": n, "calls": {syscall: n}}."""
    out = os.path.join(folder, name + ".strace")
    tracer = subprocess.Popen(["strace", "-f", "-c", "-o", out, "-p", str(pid)],
                              stderr=subprocess.DEVNULL)
    time.sleep(1.0)  # attached to every thread
    action()
    time.sleep(0.5)
    tracer.send_signal(signal.SIGINT)
    tracer.wait(timeout=10)
    calls = {}
    with open(out) as table:
        for line in table:
            fields = line.split()
            if len(fields) >= 5 and fields[0][0].isdigit() and fields[-1] != "total":
                calls[fields[-1]] = int(fields[3])
    return {"total": sum(calls.values()), "calls": calls}


def syscalls_per_report(name, process, controller, mouse, folder, reports=200):
    """System calls per single-touch report and per cell frame: a figure the machine's load does
    not move. Under Wine every wineserver request is a write and a read on the thread's request
    pipes, so these counts follow the server round trips."""
    figures = {}
    for kind, send in (("report", lambda i: controller.move(200 + i * 50, 8000)),
                       ("cell frame", lambda i: controller.fingers(
                           [(2000 + (i % 7) * 100, 3000, 3)], cx=256, cy=144))):
        def play():
            for i in range(reports):
                send(i)
                time.sleep(0.005)
        counted = syscalls_during(process.pid, play, folder, "%s-%s" % (name, kind[0]))
        mouse.take()
        top = sorted(counted["calls"].items(), key=lambda item: -item[1])[:5]
        figures[kind] = counted["total"] / reports
        print("%s: %.1f system calls per %s (%s)" % (
            name, figures[kind], kind,
            ", ".join("%s %.1f" % (call, n / reports) for call, n in top)), flush=True)
    return figures


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
    sim = os.path.join(args.build, "sim", "bench")
    mouse = usbsim.MouseStandIn(world, sim)
    controller = usbsim.SimController(world, 0, sim)
    usblink = world.start_usblink()
    floor = None
    try:
        while controller.queries == 0:
            time.sleep(0.1)
        time.sleep(1.5)
        served = measure("Usblink", usblink, world, controller, mouse, args)
        served_calls = syscalls_per_report("Usblink", usblink, controller, mouse, sim)
        world.run("tools/touchctl/touchctl.exe", "set", "usb", "exit")
        usblink.wait(timeout=15)

        # The floor reads the same pipe under the same Wine, in the same run.
        floor = world.start("bench/latency_floor.exe", controller.path)
        time.sleep(1.5)
        least = measure("floor", floor, world, controller, mouse, args)
        least_calls = syscalls_per_report("floor", floor, controller, mouse, sim)
        print("Usblink / floor: p50 %.2f, p99 %.2f, CPU at %.0f frames/s %.2f"
              % (served["p50"] / least["p50"], served["p99"] / least["p99"], served["rate"],
                 served["busy"] / max(least["busy"], 0.01)))
        print("Usblink / floor: system calls per report %.1f, per cell frame %.1f"
              % (served_calls["report"] / least_calls["report"],
                 served_calls["cell frame"] / least_calls["cell frame"]))
    finally:
        if usblink.poll() is None:
            world.run("tools/touchctl/touchctl.exe", "set", "usb", "exit")
            usblink.wait(timeout=15)
        controller.unplug()
        if floor is not None:
            floor.wait(timeout=15)  # its pipe ended with the unplug
        mouse.close()
        subprocess.run([os.path.join(SOURCE, "tests/wine/world.sh"), "down", world.prefix])


if __name__ == "__main__":
    main()
