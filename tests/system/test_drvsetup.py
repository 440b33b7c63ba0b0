"""drvsetup under Wine: its lines, its exit code, and the INF store."""

import filecmp
import os
import re
import shutil
import subprocess
import tempfile
import unittest

from usblink_fixture import BUILD, SOURCE  # noqa: F401  (sets up the import path)
import usbsim

DRVSETUP = "drvsetup/drvsetup.exe"
INF = """[Version]
Signature="$Windows NT$"
Class=Mouse
ClassGuid={4D36E96F-E325-11CE-BFC1-08002BE10318}
Provider=%Maker%
DriverVer=12/07/2026,1.0.0.0

[Manufacturer]
%Maker%=Models,NTamd64

[Models.NTamd64]
%Device%=Install,ROOT\\{name}

[Install]

[Strings]
Maker="Zorvik test"
Device="{name} test driver"
"""


class Drvsetup(unittest.TestCase):
    def setUp(self):
        self.world = usbsim.WineWorld(BUILD, SOURCE)
        os.makedirs(os.path.join(BUILD, "sim"), exist_ok=True)
        self.folder = tempfile.mkdtemp(prefix="drvsetup-", dir=os.path.join(BUILD, "sim"))

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def run_in(self, folder):
        out = subprocess.run(["wine", self.world.exe(DRVSETUP)], cwd=folder, env=self.world.env,
                             stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        return out.returncode, out.stdout.decode("latin-1").replace("\r\n", "\n")

    def windows_path(self, folder):
        return "Z:" + folder.replace("/", "\\")

    def test_without_inf_files_both_are_not_installed_and_the_exit_code_is_one(self):
        code, out = self.run_in(self.folder)
        source = self.windows_path(self.folder)
        self.assertEqual(code, 1)
        self.assertEqual(out, "%s\\MeridaxMouse.inf not installed\n %s\\tpusbdrv.inf not "
                              "installed\n " % (source, source))

    def test_valid_inf_files_are_installed_on_every_run(self):
        for name in ("MeridaxMouse", "tpusbdrv"):
            with open(os.path.join(self.folder, name + ".inf"), "w", newline="\r\n") as inf:
                inf.write(INF.replace("{name}", name))
        source = self.windows_path(self.folder)
        for _ in range(2):
            code, out = self.run_in(self.folder)
            self.assertEqual(code, 1)
            # Wine keeps the INF's own name in C:\windows\inf unless a different INF of that
            # name is there already (another test's); Windows would always say oemN.inf.
            self.assertRegex(out, "^" + re.escape("%s\\MeridaxMouse.inf installed - " % source) +
                             r"(MeridaxMouse|oem\d+)\.inf\n " +
                             re.escape("%s\\tpusbdrv.inf installed-" % source) +
                             r"(tpusbdrv|oem\d+)\.inf\n $")
        store = os.path.join(self.world.prefix, "drive_c", "windows", "inf")
        stored = [os.path.join(store, name) for name in os.listdir(store)]
        ours = os.path.join(self.folder, "MeridaxMouse.inf")
        self.assertTrue(any(filecmp.cmp(ours, other, shallow=False) for other in stored))

    def test_a_directory_too_long_for_the_path_buffer_is_reported_not_overflowed(self):
        # 250 characters: short enough to be the program's current folder, too long for the
        # folder and an INF name in its 260-byte buffer. The failure names the folder alone.
        deep = self.folder
        while len(self.windows_path(deep)) + 41 <= 247:  # the last folder keeps 2 or more
            deep = os.path.join(deep, "d" * 40)
        deep = os.path.join(deep, "e" * (250 - 1 - len(self.windows_path(deep))))
        self.assertEqual(len(self.windows_path(deep)), 250)
        os.makedirs(deep)
        code, out = self.run_in(deep)
        self.assertEqual(code, 1)
        source = self.windows_path(deep)
        self.assertEqual(out, "%s not installed\n %s not installed\n " % (source, source))

if __name__ == "__main__":
    unittest.main()
