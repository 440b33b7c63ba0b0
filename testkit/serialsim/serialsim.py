#!/usr/bin/env python3
"""Serial controller simulator for Serlink under Wine (Linux side).

A simulated COM port is a pseudo-terminal in raw mode whose slave the prefix's dosdevices link
comN names; the simulator keeps the slave open and talks through the master. Wine processes
that use such ports must preload the modem-line shim (modem_lines_shim.so, built with the
Windows programs): `WineWorld.serial_env()` gives that environment.

  SerialController  a controller on COMn: answers the query (echo), sends firmware and
                    identification texts, sends touch frames built from finger positions, or
                    stays silent.
  NullModem         two COM ports wired to each other (what one sends, the other receives).

Command line:
  serialsim.py null-modem PREFIX A B -- PROGRAM [ARGS]
      runs PROGRAM (with the shim preloaded) while COMA and COMB are wired to each other.
"""

import os
import select
import subprocess
import sys
import threading
import time
import termios
import tty

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "usbsim"))
from usbsim import pair, read_available  # noqa: E402  (14-bit pairs, non-blocking reads)

QUERY = bytes([0x82, 0x04, 0x0A, 0x0F])
RAW_SPAN = 16384  # 14-bit sensor values
SHADOW_WIDTH = 16


def shim_path(build_dir):
    return os.path.join(os.path.abspath(build_dir), "testkit", "serialsim", "modem_lines_shim.so")


def preload_env(env, shim):
    """`env` with the shim added to LD_PRELOAD."""
    if not os.path.exists(shim):
        raise FileNotFoundError("serialsim: the modem-line shim is not built: " + shim)
    preload = env.get("LD_PRELOAD", "")
    return dict(env, LD_PRELOAD=(shim + " " + preload).strip())


def remove_com_links(prefix):
    """A new prefix links com1... to the machine's serial devices; tests decide which exist."""
    dosdevices = os.path.join(prefix, "dosdevices")
    for name in os.listdir(dosdevices):
        if name.startswith("com") and name[3:].isdigit():
            os.remove(os.path.join(dosdevices, name))


def touch_frame(shadows_x, shadows_y, header=0x81):
    """A touch frame: header, 4 bytes not interpreted, cX, cY, then max(cX, cY) records of
    (xa, xb, ya, yb); entries beyond an axis's count are zeros."""
    count = max(len(shadows_x), len(shadows_y))
    body = bytearray(b"\x00\x00\x00\x00")
    body += pair(len(shadows_x)) + pair(len(shadows_y))
    for i in range(count):
        xa, xb = shadows_x[i] if i < len(shadows_x) else (0, 0)
        ya, yb = shadows_y[i] if i < len(shadows_y) else (0, 0)
        body += pair(xa) + pair(xb) + pair(ya) + pair(yb)
    return bytes([header]) + bytes(body)


def fingers_frame(fingers, width, height):
    """The touched frame for fingers at pixel positions of a width x height monitor: one X and
    one Y shadow per finger, SHADOW_WIDTH raw units wide, starting at the finger."""
    xs = [(x * RAW_SPAN // width, x * RAW_SPAN // width + SHADOW_WIDTH) for x, _ in fingers]
    ys = [(y * RAW_SPAN // height, y * RAW_SPAN // height + SHADOW_WIDTH) for _, y in fingers]
    return touch_frame(xs, ys)


def release_frame():
    return touch_frame([], [], header=0x80)


def text_message(header, text):
    data = text.encode("latin-1")
    return bytes([header, len(data) + 2]) + data


class PtyPort:
    """COMn as a raw pseudo-terminal; the master side is ours."""

    def __init__(self, prefix, number):
        self.number = number
        self.master, self.slave = os.openpty()
        tty.setraw(self.master)
        tty.setraw(self.slave)
        os.set_blocking(self.master, False)
        self.tty = os.ttyname(self.slave)
        self.link = os.path.join(prefix, "dosdevices", "com%d" % number)
        if os.path.lexists(self.link):
            os.remove(self.link)
        os.symlink(self.tty, self.link)

    def read(self, timeout):
        try:
            return read_available(self.master, timeout)
        except OSError:  # the slave side is gone
            return b""

    def write(self, data):
        view = memoryview(data)
        while view:
            try:
                view = view[os.write(self.master, view):]
            except BlockingIOError:
                select.select([], [self.master], [], 0.1)

    def stop_output(self):
        """The port's output is suspended, as by a modem that never lets data out: a write of
        the Windows side then never completes."""
        termios.tcflow(self.slave, termios.TCOOFF)

    def restart_output(self):
        termios.tcflow(self.slave, termios.TCOON)

    def close(self):
        if os.path.lexists(self.link):
            os.remove(self.link)
        os.close(self.master)
        os.close(self.slave)


class SerialController:
    """A touch controller on COMn. `answer` is "echo" (the query comes back), "texts" (echo,
    then the firmware and identification texts) or "silent"."""

    def __init__(self, prefix, number, answer="echo", firmware="V1.2", device_id="ZS-SIM"):
        self.port = PtyPort(prefix, number)
        self.number = number
        self.answer = answer
        self.firmware = firmware
        self.device_id = device_id
        self.received = bytearray()
        self.queries = 0
        self.other_frames = 0  # 4-byte frames that are not the query
        self.lock = threading.Lock()
        self.running = True
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        while self.running:
            data = self.port.read(0.05)
            if not data:
                continue
            with self.lock:
                self.received += data
                while len(self.received) >= 4:
                    frame = bytes(self.received[:4])
                    del self.received[:4]
                    if frame == QUERY:
                        self.queries += 1
                        self._answer()
                    else:
                        self.other_frames += 1

    def _answer(self):
        if self.answer == "silent":
            return
        self.port.write(QUERY)
        if self.answer == "texts":
            self.port.write(text_message(0x83, self.firmware))
            self.port.write(text_message(0x84, self.device_id))

    def send(self, data):
        self.port.write(data)

    def stall(self):
        """Nothing the host writes reaches the controller until `resume`."""
        self.port.stop_output()

    def resume(self):
        self.port.restart_output()

    def received_whole_queries_only(self):
        """Whether everything received so far was whole query frames."""
        with self.lock:
            return not self.received and self.other_frames == 0

    def touch(self, fingers, width=1024, height=768):
        self.send(fingers_frame(fingers, width, height))

    def lift(self):
        self.send(release_frame())

    def close(self):
        self.running = False
        self.thread.join()
        self.port.close()


class NullModem:
    """Two COM ports wired to each other through their masters."""

    def __init__(self, prefix, a, b):
        self.ports = [PtyPort(prefix, a), PtyPort(prefix, b)]
        self.running = True
        self.thread = threading.Thread(target=self._relay, daemon=True)
        self.thread.start()

    def _relay(self):
        first, second = self.ports
        while self.running:
            ready, _, _ = select.select([first.master, second.master], [], [], 0.05)
            for source, sink in ((first, second), (second, first)):
                if source.master in ready:
                    data = source.read(0)
                    if data:
                        sink.write(data)

    def close(self):
        self.running = False
        self.thread.join()
        for port in self.ports:
            port.close()


def main(argv):
    if len(argv) < 6 or argv[0] != "null-modem" or argv[4] != "--":
        sys.stderr.write("usage: serialsim.py null-modem PREFIX A B -- PROGRAM [ARGS]\n")
        return 2
    prefix, a, b, command = os.path.abspath(argv[1]), int(argv[2]), int(argv[3]), argv[5:]
    build_dir = os.path.dirname(prefix)
    # The prefix must exist before links go into it.
    world = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "wine",
                         "world.sh")
    subprocess.run([world, "up", prefix], check=True)
    remove_com_links(prefix)
    modem = NullModem(prefix, a, b)
    try:
        env = preload_env(os.environ, shim_path(build_dir))
        return subprocess.run(command, env=env).returncode
    finally:
        time.sleep(0.1)
        modem.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
