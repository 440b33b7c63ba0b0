"""touchctl profile export and import under Wine: export, wipe and import give the same registry
byte for byte (through touchctl and through the registry editor), both services are told, and a
file with one line that is not ours writes nothing."""

import json
import os
import subprocess

from usblink_fixture import BUILD, UsblinkTest

KEY = "HKLM\\Software\\ZorvikTouchParam"
USB_SETUP = "Global\\MERIDAX_TOUCH_EVENT_3F98A_SETUPCHANGE"
HEADER = "Windows Registry Editor Version 5.00\r\n\r\n"


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


class SettingsProfile(UsblinkTest):
    def seed(self):
        for key, name, kind, data in (
                ("General", "MouseMode", "REG_DWORD", "2"),
                ("General", "TickFreq", "REG_DWORD", "4294967295"),
                ("General", "MON00An", "REG_SZ", "-1234567"),
                ("General", "MON00Divider", "REG_SZ", "1000"),
                ("General", "MON00CheckErrorUm", "REG_SZ", "513"),
                ("General", "MON00CalibratedAt", "REG_SZ", "2026-12-08T21:40:05Z"),
                ("MonitorMaps", "MonitorCount", "REG_DWORD", "1"),
                ("MonitorMaps\\Display00", "CX", "REG_DWORD", "1024"),
                ("MonitorMaps\\Display00", "Device00", "REG_SZ", "\\\\?\\hid#vid_1#{x}"),
                ("USBAcitve\\USB01", "USBID", "REG_SZ", "\\\\?\\usb#kept")):
            self.assertEqual(self.reg("add", KEY + "\\" + key, "/v", name, "/t", kind, "/d", data,
                                      "/f"), 0)
        # MPControl present and empty (Wine's "reg add KEY" alone would set a default value).
        self.assertEqual(self.reg("add", KEY + "\\MPControl", "/v", "x", "/d", "", "/f"), 0)
        self.assertEqual(self.reg("delete", KEY + "\\MPControl", "/v", "x", "/f"), 0)

    def snapshot(self, name):
        """The whole product key as the registry tool exports it: every key, type and byte."""
        path = os.path.join(self.sim_dir, name)
        if os.path.exists(path):
            os.remove(path)
        self.assertEqual(self.reg("export", KEY, windows_path(path), "/y"), 0)
        with open(path, "rb") as f:
            return f.read()

    def wipe(self):
        for key in ("General", "MPControl", "MonitorMaps"):
            self.assertEqual(self.reg("delete", KEY + "\\" + key, "/f"), 0)

    def test_export_wipe_import_gives_the_same_registry_byte_for_byte(self):
        self.seed()
        before = self.snapshot("before.reg")
        profile = os.path.join(self.sim_dir, "kiosk.reg")
        code, out = self.touchctl("profile", "export", windows_path(profile))
        self.assertEqual(code, 0, self.world.last_error)
        with open(profile, "rb") as f:
            data = f.read()
        self.assertTrue(data.startswith(b"\xff\xfe" + HEADER.encode("utf-16-le")))
        self.assertNotIn("USBAcitve", data.decode("utf-16"))

        self.wipe()
        # A service waiting on its setup-change event hears of the import.
        log = os.path.join(self.sim_dir, "waiter.log")
        if os.path.exists(log):
            os.remove(log)
        waiter = self.world.start("tools/touchctl/touchctl.exe", "wait-event", USB_SETUP, "20000",
                                  log=log)
        self.waiters.append(waiter)
        self.wait_until(lambda: os.path.exists(log) and "waiting" in read_text(log), 10,
                        "the waiter")
        code, out = self.touchctl("profile", "import", windows_path(profile))
        self.assertEqual(code, 0, self.world.last_error)
        self.assertEqual(json.loads(out.splitlines()[0])["values"], 9)
        self.assertEqual(waiter.wait(timeout=20), 0)
        self.assertEqual(self.snapshot("after.reg"), before)

        # The registry editor imports the same file to the same registry.
        self.wipe()
        self.assertEqual(subprocess.run(["wine", "regedit", "/s", windows_path(profile)],
                                        env=self.world.env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL).returncode, 0)
        self.assertEqual(self.snapshot("regedit.reg"), before)

    def test_a_foreign_key_unknown_value_or_wrong_type_writes_nothing(self):
        self.seed()
        before = self.snapshot("before.reg")
        general = "[HKEY_LOCAL_MACHINE\\Software\\ZorvikTouchParam\\General]\r\n"
        good = '"MouseMode"=dword:00000000\r\n'
        for body, line in (
                (good + "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n", 5),
                (good + "[HKEY_LOCAL_MACHINE\\Software\\ZorvikTouchParam\\USBAcitve\\USB01]\r\n", 5),
                (good + '"MouseSpeed"=dword:00000001\r\n', 5),
                (good + '"MON00An"=dword:00000001\r\n', 5),
                (good + '"ClickMode"="1"\r\n', 5)):
            path = os.path.join(self.sim_dir, "bad.reg")
            with open(path, "wb") as f:
                f.write(b"\xff\xfe" + (HEADER + general + body).encode("utf-16-le"))
            code, out = self.touchctl("profile", "import", windows_path(path))
            self.assertEqual(code, 1, body)
            self.assertIn("line %d:" % line, self.world.last_error)
            self.assertIn("nothing written", self.world.last_error)
            self.assertEqual(self.snapshot("after.reg"), before, body)


def read_text(path):
    with open(path, encoding="latin-1") as f:
        return f.read()
