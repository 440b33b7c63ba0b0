#!/usr/bin/env python3
"""Controller simulator for Usblink under Wine (Linux side).

Makes simulated USB touch controllers appear to an unmodified Usblink in a Wine prefix: each
controller is a registered device interface (through the Windows helper simdev.exe), a
dosdevices link named after its interface path, and a folder with two FIFOs, PIPE01 (controller
to host) and PIPE00 (host to controller). The simulator answers the device query, counts the
acknowledgements, plays touches as single-touch or cell frames, and plugs and unplugs
controllers. It also stands in for the virtual mouse driver: a FIFO behind \\\\.\\MeridaxMouse whose
24-byte records it decodes.
"""

import os
import sys
import select
import struct
import subprocess
import tempfile
import threading
import time

GUID = "{e6ef7dcd-1795-4a08-9fbf-aa78423c26f0}"
QUERY = bytes([0x82, 0x04, 0x0A, 0x0F])
ACK = bytes([0xAA, 0x02])


def read_available(fd, timeout):
    """What a non-blocking descriptor holds within `timeout` seconds (b"" for nothing)."""
    ready, _, _ = select.select([fd], [], [], timeout)
    if not ready:
        return b""
    try:
        return os.read(fd, 4096)
    except BlockingIOError:
        return b""


class WineWorld:
    """The build tree's Wine prefix and how to run programs in it."""

    def __init__(self, build_dir, source_dir):
        self.build_dir = os.path.abspath(build_dir)
        self.source_dir = os.path.abspath(source_dir)
        self.prefix = os.path.join(self.build_dir, "wineprefix")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        subprocess.run([os.path.join(self.source_dir, "tests/wine/world.sh"), "up", self.prefix],
                       check=True)
        with open(self.prefix + ".display") as display:
            self.env["DISPLAY"] = ":" + display.read().split()[0]
        self.dosdevices = os.path.join(self.prefix, "dosdevices")

    def exe(self, relative):
        return os.path.join(self.build_dir, relative)

    def run(self, exe, *args, timeout=60):
        """Runs a Windows program to its end; returns (exit code, stdout text). Standard error
        is kept in self.last_error. The output goes through files, not pipes: a program that
        opens a window may start Wine's desktop process (when the previous one ended with the
        last window), which inherits its output handles and would hold a pipe open."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            process = subprocess.Popen(["wine", self.exe(exe), *args], env=self.env,
                                       stdin=subprocess.DEVNULL, stdout=out, stderr=err)
            try:
                code = process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                listing = subprocess.run(["ps", "-eo", "pid,stat,etime,args"],
                                         capture_output=True)
                sys.stderr.write("usbsim: %s %s timed out; processes:\n%s\n" % (
                    exe, " ".join(args), listing.stdout.decode()))
                raise
            out.seek(0)
            err.seek(0)
            self.last_error = err.read().decode("latin-1")
            return code, out.read().decode("latin-1").replace("\r\n", "\n")

    def run_tool(self, exe, *args, timeout=60):
        """run() for the tools that explain each of their own failures on standard error
        (touchctl, uictl): a launch that ends with 1 and no output at all is Wine's occasional
        launch failure (docs/developing.md, Wine notes) and is made once more."""
        code, out = self.run(exe, *args, timeout=timeout)
        if code == 1 and not out and not self.last_error:
            code, out = self.run(exe, *args, timeout=timeout)
        return code, out

    def start_usblink(self, log=None):
        """Starts Usblink as on Windows XP, whose route to the speaker is Beep: the beep device
        that later versions open does not exist under Wine, and Usblink ends without it."""
        self.set_windows_version("Usblink.exe", "winxp")
        return self.start("usbsvc/win32/Usblink.exe", log=log)

    def start(self, exe, *args, log=None, env=None):
        """Starts a Windows program in the background, its output to a file (appended), with
        the world's environment or `env`."""
        if log:
            os.makedirs(os.path.dirname(os.path.abspath(log)), exist_ok=True)
        with open(log or os.devnull, "ab") as log_file:
            return subprocess.Popen(["wine", self.exe(exe), *args], env=env or self.env,
                                    stdin=subprocess.DEVNULL, stdout=log_file, stderr=log_file)

    def set_windows_version(self, exe_name, version):
        """Per-program Windows version ("winxp" reports 5.1); None removes the setting."""
        key = "HKCU\\Software\\Wine\\AppDefaults\\" + exe_name
        if version is None:
            subprocess.run(["wine", "reg", "delete", key, "/f"], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        else:
            subprocess.run(["wine", "reg", "add", key, "/v", "Version", "/d", version, "/f"],
                           env=self.env, check=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)

    def server_pid(self):
        """The process id of this prefix's wineserver, or None."""
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open("/proc/%s/comm" % pid) as comm:
                    if not comm.read().startswith("wineserver"):
                        continue
                with open("/proc/%s/environ" % pid, "rb") as env:
                    if ("WINEPREFIX=" + self.prefix).encode() in env.read().split(b"\0"):
                        return int(pid)
            except OSError:
                continue
        return None

    def server_holds(self, path):
        """Whether a Windows handle of this prefix has `path` open (the wineserver keeps the
        descriptor of every open file and device)."""
        pid = self.server_pid()
        if pid is None:
            return False
        folder = "/proc/%d/fd" % pid
        for fd in os.listdir(folder):
            try:
                if os.readlink(os.path.join(folder, fd)) == path:
                    return True
            except OSError:
                continue
        return False

    def link(self, name, target):
        path = os.path.join(self.dosdevices, name.lower())
        if os.path.lexists(path):
            os.remove(path)
        os.symlink(target, path)

    def unlink(self, name):
        path = os.path.join(self.dosdevices, name.lower())
        if os.path.lexists(path):
            os.remove(path)


class XPointer:
    """Does with the X server's pointer what a Windows mouse driver does with a MOUSE_INPUT_DATA
    record: a move record moves it (absolute 0..65535 over the screen, or by a relative amount),
    a button record presses or releases a button where the pointer is, through XTest (xdotool). A program under Wine then receives the touch
    as real pointer input."""

    MOVE_ABSOLUTE = 0x0001
    BUTTONS = ((0x0001, "mousedown", "1"), (0x0002, "mouseup", "1"),
               (0x0004, "mousedown", "3"), (0x0008, "mouseup", "3"))

    def __init__(self, env):
        self.env = env
        out = subprocess.run(["xdotool", "getdisplaygeometry"], env=env, check=True,
                             capture_output=True, text=True).stdout.split()
        self.width, self.height = int(out[0]), int(out[1])

    def screen_point(self, x, y):
        """The pixel an absolute position 0..65535 stands for."""
        return (min(self.width - 1, x * self.width // 65536),
                min(self.height - 1, y * self.height // 65536))

    def apply(self, record):
        args = []
        if record["buttons"]:
            pass  # a button record carries no position: the pointer stays where it is
        elif record["flags"] & self.MOVE_ABSOLUTE:
            args += ["mousemove", *map(str, self.screen_point(record["x"], record["y"]))]
        elif record["x"] or record["y"]:
            args += ["mousemove_relative", "--", str(record["x"]), str(record["y"])]
        for bit, command, button in self.BUTTONS:
            if record["buttons"] & bit:
                args += [command, button]
        if args:
            subprocess.run(["xdotool", *args], env=self.env, check=True)


class MouseStandIn:
    """A FIFO behind \\\\.\\MeridaxMouse and a reader of its 24-byte MOUSE_INPUT_DATA records.
    With `drive_pointer`, every record also moves the X server's pointer and presses its buttons
    (XPointer), so that the service's output reaches the Windows programs as real input."""

    RECORD = struct.Struct("<HHHHIiiI")

    def __init__(self, world, folder, drive_pointer=False):
        self.world = world
        self.pointer = XPointer(world.env) if drive_pointer else None
        folder = os.path.abspath(folder)
        os.makedirs(folder, exist_ok=True)
        self.fifo = os.path.join(folder, "meridaxmouse")
        if os.path.exists(self.fifo):
            os.remove(self.fifo)
        os.mkfifo(self.fifo)
        world.link("meridaxmouse", self.fifo)
        self.fd = os.open(self.fifo, os.O_RDWR | os.O_NONBLOCK)
        self.records = []
        self.lock = threading.Lock()
        self.running = True
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        pending = b""
        while self.running:
            pending += read_available(self.fd, 0.1)
            while len(pending) >= 24:
                unit, flags, buttons, _, _, x, y, extra = self.RECORD.unpack(pending[:24])
                pending = pending[24:]
                record = {"flags": flags, "buttons": buttons, "x": x, "y": y, "extra": extra,
                          "time": time.monotonic()}
                if self.pointer:
                    self.pointer.apply(record)
                with self.lock:
                    self.records.append(record)

    def take(self):
        with self.lock:
            records, self.records = self.records, []
        return records

    def wait_for(self, count, timeout=10.0):
        """Waits until at least `count` records arrived; returns them all (and forgets them)."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            with self.lock:
                if len(self.records) >= count:
                    break
            time.sleep(0.01)
        return self.take()

    def close(self):
        self.running = False
        self.thread.join()
        os.close(self.fd)
        self.world.unlink("meridaxmouse")


def pair(value):
    value = max(0, min(16383, int(value)))
    return bytes([value // 128, value % 128])


def cell_frame(cx, cy, fingers, blocked=(), dead=()):
    """A cell frame: 0xE1 with fingers (x, y in sensor units, size in cells), 0xE0 without.
    Cells named in `blocked` read shadowed and those in `dead` free whatever the fingers do
    (("x", 20), ("y", 0), ...); a blocked cell makes every frame a touch frame, as on a sensor."""
    levels = bytearray(cx + cy)

    def shade(offset, cells, at, width):
        pitch = 16383 / (cells - 1)
        centre = int(at / pitch + 0.5)
        for i in range(centre - width // 2, centre - width // 2 + width):
            if 0 <= i < cells:
                levels[offset + i] = 100

    for x, y, size in fingers:
        shade(0, cx, x, size)
        shade(cx, cy, y, size)
    for forced, level in ((blocked, 100), (dead, 0)):
        for axis, index in forced:
            levels[(0 if axis == "x" else cx) + index] = level
    n = cx + cy
    start = 0xE1 if fingers or blocked else 0xE0
    return bytes([start]) + pair(n) + pair(cx) + pair(cy) + bytes(levels)


class SimController:
    """One simulated controller: registered interface, dosdevices link, two FIFOs."""

    # Cells forced in the cell frames it builds (set per controller); none by default, also for
    # an instance made without its pipes (fuzz/make_seeds.py).
    blocked_cells = ()
    dead_cells = ()

    def __init__(self, world, number, folder, own_kind=True, firmware="1.02", device_id="ZT-SIM"):
        self.world = world
        self.number = number
        self.own_kind = own_kind
        self.firmware = firmware
        self.device_id = device_id
        self.folder = os.path.join(os.path.abspath(folder), "controller%02d" % number)
        os.makedirs(self.folder, exist_ok=True)
        for name in ("PIPE01", "PIPE00"):
            fifo = os.path.join(self.folder, name)
            if not os.path.exists(fifo):
                os.mkfifo(fifo)
        self.acks = 0
        self.queries = 0
        self.blocked_cells = []  # ("x", 20): shadowed in every cell frame
        self.dead_cells = []  # never shadowed
        self.running = False
        self.reading = threading.Event()  # cleared: the host's writes pile up unread
        self.reading.set()
        self.lock = threading.Lock()
        self.to_host = None
        self.from_host = None
        self.thread = None
        self.path = None
        self.plug()

    def plug(self):
        """Opens the pipes, then makes the interface present."""
        self.to_host = os.open(os.path.join(self.folder, "PIPE01"), os.O_RDWR)
        self.from_host = os.open(os.path.join(self.folder, "PIPE00"), os.O_RDWR | os.O_NONBLOCK)
        self.running = True
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()
        code, out = self.world.run("testkit/usbsim/simdev.exe", "add", str(self.number))
        if code != 0:
            raise RuntimeError("simdev add failed")
        self.path = out.strip()
        self.world.link(self.path[4:], self.folder)  # "\\?\root#..." -> "root#..."

    def unplug(self):
        """Makes the interface absent and closes the pipes (the host's reads end)."""
        self.world.run("testkit/usbsim/simdev.exe", "link", str(self.number), "0")
        self.running = False
        self.thread.join()
        os.close(self.to_host)
        os.close(self.from_host)
        self.world.unlink(self.path[4:])

    def pipe_paths(self):
        """The two FIFOs, as the wineserver names them while the host holds them open."""
        return [os.path.realpath(os.path.join(self.folder, name)) for name in ("PIPE01", "PIPE00")]

    def stall_writes(self):
        """Stops reading the host's pipe and fills it, so that the host's next write blocks."""
        self.reading.clear()
        time.sleep(0.1)  # a read in progress ends
        while True:
            try:
                os.write(self.from_host, b"\0")  # one byte at a time fills the last page too
            except BlockingIOError:
                return

    def resume_writes(self):
        """Throws away the filling and reads the host's pipe again."""
        while read_available(self.from_host, 0):
            pass
        self.reading.set()

    def _serve(self):
        pending = b""
        while self.running:
            if not self.reading.wait(0.05):
                continue
            pending += read_available(self.from_host, 0.05)
            while pending:
                if pending.startswith(ACK):
                    with self.lock:
                        self.acks += 1
                    pending = pending[2:]
                elif pending.startswith(QUERY):
                    with self.lock:
                        self.queries += 1
                    pending = pending[4:]
                    self.answer_query()
                elif len(pending) < 4 and (QUERY.startswith(pending) or ACK.startswith(pending)):
                    break
                else:
                    pending = pending[1:]

    def answer_query(self):
        kind = bytes([0xAB, 0xA4]) if self.own_kind else bytes([0x12, 0x34])
        fw = self.firmware.encode("latin-1")
        ident = self.device_id.encode("latin-1")
        self.send(bytes([0x82, 4]) + kind + bytes([0x83, len(fw) + 2]) + fw +
                  bytes([0x84, len(ident) + 2]) + ident)

    def send(self, data):
        os.write(self.to_host, data)

    # Touch-level commands, in sensor units (0..16383).
    def down(self, x, y):
        self.send(bytes([0x81]) + pair(x) + pair(y))

    def move(self, x, y):
        self.down(x, y)

    def up(self, x=0, y=0):
        self.send(bytes([0x80]) + pair(x) + pair(y))

    def fingers(self, fingers, cx=64, cy=48):
        self.send(cell_frame(cx, cy, fingers, self.blocked_cells, self.dead_cells))

    def stream(self, frames, hz, cx=64, cy=48):
        """One cell frame per entry of `frames` (each a list of fingers), `hz` frames a second on
        a steady clock: a late frame shortens the next wait instead of shifting the rest."""
        start = time.monotonic()
        for k, fingers in enumerate(frames):
            delay = start + k / hz - time.monotonic()
            if delay > 0:
                time.sleep(delay)
            self.fingers(fingers, cx, cy)

    def ack_count(self):
        with self.lock:
            return self.acks


USAGE = """usbsim: simulated USB touch controllers for Usblink under Wine.

usage: usbsim.py [--build DIR] [--controllers N] [--generic] [--screen WxH] [--start-usblink]
                 [SCRIPT]

Reads SCRIPT (or standard input, line by line, so it can be typed by hand). Lines:
  81 40 00 40 00        hex bytes, sent as one write to the current controller
  # ...                 comment
  @advance MS           wait MS milliseconds (the clock is the real one here)
  down X Y | move X Y   single-touch finger at screen pixel X, Y (finger-down frame)
  up                    finger-up frame
  fingers X,Y[,CELLS] ...   one cell frame (64 x 48 cells) with fingers at screen pixels;
                        no finger: all lifted (0xE0)
  controller N          send the following lines to controller N
  plug N | unplug N     plug in (registering it if new) or pull out controller N
  status                print queries and acknowledges per controller
  mouse                 print the pointer records received since the last "mouse"
"""


def run_script(lines, world, controllers, mouse, screen, folder, kind):
    import json
    current = 0

    def sensor(x, y):
        return int(float(x) / screen[0] * 16384), int(float(y) / screen[1] * 16384)

    for number, raw in enumerate(lines, 1):
        text = raw.split("#", 1)[0].strip()
        if not text:
            continue
        words = text.split()
        try:
            target = controllers.get(current)
            if words[0] == "@advance":
                time.sleep(int(words[1]) / 1000)
            elif words[0] in ("down", "move"):
                target.down(*sensor(words[1], words[2]))
            elif words[0] == "up":
                target.up()
            elif words[0] == "fingers":
                points = []
                for word in words[1:]:
                    parts = word.split(",")
                    x, y = sensor(parts[0], parts[1])
                    points.append((x, y, int(parts[2]) if len(parts) > 2 else 3))
                target.fingers(points)
            elif words[0] == "controller":
                current = int(words[1])
            elif words[0] == "plug":
                n = int(words[1])
                if n in controllers:
                    if not controllers[n].running:
                        controllers[n].plug()
                else:
                    controllers[n] = SimController(world, n, folder, **kind)
            elif words[0] == "unplug":
                controllers[int(words[1])].unplug()
            elif words[0] == "status":
                for n, c in sorted(controllers.items()):
                    print(json.dumps({"controller": n, "present": c.running, "path": c.path,
                                      "queries": c.queries, "acks": c.ack_count()}), flush=True)
            elif words[0] == "mouse":
                for record in mouse.take():
                    record.pop("time", None)
                    print(json.dumps({"mouse": record}), flush=True)
            elif all(len(w) == 2 for w in words):
                target.send(bytes(int(w, 16) for w in words))
            else:
                raise ValueError("unknown command '%s'" % words[0])
        except (ValueError, IndexError, AttributeError, KeyError) as error:
            print("usbsim: line %d: %s" % (number, error), file=sys.stderr, flush=True)
            return 2
    return 0


def main(argv=None):
    import argparse
    parser = argparse.ArgumentParser(description=USAGE, formatter_class=argparse.RawTextHelpFormatter)
    parser.add_argument("script", nargs="?")
    parser.add_argument("--build", default="build/win64")
    parser.add_argument("--controllers", type=int, default=1)
    parser.add_argument("--generic", action="store_true", help="answer as a generic controller")
    parser.add_argument("--screen", default="1024x768")
    parser.add_argument("--start-usblink", action="store_true",
                        help="start Usblink too, and end it when the script ends")
    args = parser.parse_args(argv)
    source = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
    screen = tuple(int(v) for v in args.screen.split("x"))
    world = WineWorld(args.build, source)
    folder = os.path.join(world.build_dir, "sim", "usbsim")
    kind = {"own_kind": not args.generic}
    mouse = MouseStandIn(world, folder)
    controllers = {n: SimController(world, n, folder, **kind) for n in range(args.controllers)}
    usblink = None
    if args.start_usblink:
        usblink = world.start_usblink()
    try:
        source_lines = open(args.script) if args.script else sys.stdin
        with source_lines:
            return run_script(source_lines, world, controllers, mouse, screen, folder, kind)
    finally:
        if usblink is not None:
            world.run("tools/touchctl/touchctl.exe", "set", "usb", "exit")
            usblink.wait(timeout=15)
        for controller in controllers.values():
            if controller.running:
                controller.unplug()
        mouse.close()


if __name__ == "__main__":
    sys.exit(main())
