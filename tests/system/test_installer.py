"""ZorvikTouchSetup.exe under Wine, run silently as integrators do: installation into the default
folder and into a chosen one, an upgrade over running services, uninstallation, and a service
that does not end when told to."""

import filecmp
import ntpath
import os
import re
import shutil
import signal
import subprocess
import time
import unittest

from usblink_fixture import BUILD, SOURCE, TOUCHCTL, wine_processes
import usbsim

SETUP = "installer/ZorvikTouchSetup.exe"
SETUPHELP = "installer/setuphelp.exe"
DEFAULT_DIR = "C:\\Program Files\\Zorvik Touch"
CHOSEN_DIR = "C:\\Kiosk Apps\\Zorvik Touch"
BUILT = {
    "Usblink.exe": "usbsvc/win32/Usblink.exe",
    "Serlink.exe": "serialsvc/win32/Serlink.exe",
    "Orbisk.exe": "panel/win32/Orbisk.exe",
    "Clicktog.exe": "clicktool/Clicktog.exe",
    "drvsetup.exe": "drvsetup/drvsetup.exe",
    "setuphelp.exe": SETUPHELP,
}
INF_FILES = ("MeridaxMouse.inf", "tpusbdrv.inf")
PARAM_KEY = "HKLM\\Software\\ZorvikTouchParam"
RUN_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZorvikTouch"
MENU_LINK = ("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Zorvik Touch\\"
             "Zorvik Touch Control Panel.lnk")
USB_EXIT_EVENT = "Global\\MERIDAX_TOUCH_EVENT_3F98A_EXITPROC"
SERVICE_STILL_RUNNING = 3


def words(path):
    """A Windows path as separate command-line words: Wine joins them with blanks and without
    quotes, which is how /D= and _?= must arrive (a quoted /D= is ignored)."""
    return path.split(" ")


class Installer(unittest.TestCase):
    def setUp(self):
        self.world = usbsim.WineWorld(BUILD, SOURCE)
        # Shortcuts would make Wine write menu entries into the Linux user's desktop.
        self.world.env["WINEDLLOVERRIDES"] += ";winemenubuilder.exe=d"
        self.world.set_windows_version("Usblink.exe", "winxp")  # no beep device under Wine
        self.sim_dir = os.path.join(BUILD, "sim", self.id().split(".")[-1])
        os.makedirs(self.sim_dir, exist_ok=True)
        self.stand_ins = []  # processes this test started itself
        self.clean()

    def tearDown(self):
        for stand_in in self.stand_ins:
            if stand_in.poll() is None:
                stand_in.kill()
                stand_in.wait()
        self.clean()

    def clean(self):
        """No service of any earlier installation running, none installed, no settings."""
        self.world.run(SETUPHELP, "stop-services", "10000")
        for name in ("Usblink.exe", "Serlink.exe"):
            for pid in wine_processes(self.world, name):
                os.kill(pid, signal.SIGKILL)
        for key in (PARAM_KEY, UNINSTALL_KEY):
            self.reg("delete", key, "/f")
        for name in ("Usblink", "Serlink"):
            self.reg("delete", RUN_KEY, "/v", name, "/f")
        for folder in (DEFAULT_DIR, ntpath.dirname(CHOSEN_DIR), ntpath.dirname(MENU_LINK)):
            shutil.rmtree(self.unix(folder), ignore_errors=True)

    # The world.
    def unix(self, windows_path):
        drive, rest = windows_path.split(":", 1)
        assert drive.upper() == "C"
        return os.path.join(self.world.prefix, "drive_c", *rest.strip("\\").split("\\"))

    def reg(self, *args):
        return subprocess.run(["wine", "reg", *args], env=self.world.env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode

    def value(self, key, name):
        """(type, data) of a registry value, or None when it is missing."""
        out = subprocess.run(["wine", "reg", "query", key, "/v", name], env=self.world.env,
                             stdin=subprocess.DEVNULL, capture_output=True)
        for line in out.stdout.decode("latin-1").splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[0] == name and parts[1].startswith("REG_"):
                return parts[1], parts[2] if len(parts) == 3 else ""
        return None

    def key_exists(self, key):
        return self.reg("query", key) == 0

    def setup(self, *args, timeout=120):
        code, _ = self.world.run(SETUP, "/S", *args, timeout=timeout)
        return code

    @staticmethod
    def read(path):
        """A text file's content; empty while it does not exist."""
        try:
            with open(path, encoding="utf-8", errors="replace") as text:
                return text.read()
        except FileNotFoundError:
            return ""

    def setup_log(self, folder):
        return self.read(os.path.join(self.unix(folder), "setup.log"))

    def uninstall_and_wait(self, folder, *args):
        """The waited form for scripts: a copy of the uninstaller outside the folder, run in place
        with _?=, gives the uninstallation's own exit code."""
        copy = os.path.join(self.sim_dir, "Uninstall.exe")
        shutil.copy(os.path.join(self.unix(folder), "Uninstall.exe"), copy)
        code, _ = self.world.run(copy, "/S", *args, "_?=" + words(folder)[0], *words(folder)[1:])
        return code

    def services(self, folder):
        """Process ids of Usblink and Serlink started from `folder`."""
        return {name: wine_processes(self.world, folder + "\\" + name)
                for name in ("Usblink.exe", "Serlink.exe")}

    def wait_until(self, condition, timeout, what):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if condition():
                return
            time.sleep(0.2)
        self.fail("timed out after %.0f s waiting for %s" % (timeout, what))

    def start_stand_in(self):
        """A process named Usblink.exe that holds the USB service's exit event and ignores it."""
        stand_in = os.path.join(self.sim_dir, "stand-in", "Usblink.exe")
        os.makedirs(os.path.dirname(stand_in), exist_ok=True)
        shutil.copy(self.world.exe(TOUCHCTL), stand_in)
        log = os.path.join(self.sim_dir, "stand-in.log")
        if os.path.exists(log):
            os.remove(log)
        process = self.world.start(stand_in, "count-event", USB_EXIT_EVENT, "60000",
                                   log=log)
        self.stand_ins.append(process)
        self.wait_until(lambda: "counting" in self.read(log), 30,
                        "the stand-in to hold the exit event")
        return process

    def start_installed(self, folder, name):
        """Starts an installed program by its Windows path, as the Run key would."""
        self.stand_ins.append(subprocess.Popen(
            ["wine", folder + "\\" + name], env=self.world.env, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))

    # Checks.
    def assert_installed(self, folder):
        for name, built in BUILT.items():
            installed = os.path.join(self.unix(folder), name)
            self.assertTrue(filecmp.cmp(installed, self.world.exe(built), shallow=False),
                            "%s differs from the build's" % name)
        for name in INF_FILES:
            self.assertTrue(os.path.isfile(os.path.join(self.unix(folder), name)), name)
        self.assertTrue(os.path.isfile(os.path.join(self.unix(folder), "Uninstall.exe")))
        self.assertEqual(self.value(PARAM_KEY + "\\Program", "TargetDir"), ("REG_SZ", folder))
        for name in ("Usblink", "Serlink"):
            self.assertEqual(self.value(RUN_KEY, name),
                             ("REG_SZ", '"%s\\%s.exe"' % (folder, name)))
        uninstaller = '"%s\\Uninstall.exe"' % folder
        for name, expected in (("DisplayName", "Zorvik Touch"), ("DisplayVersion", "1.0.0"),
                               ("Publisher", "Zorvik Touch host software contributors"),
                               ("InstallLocation", folder), ("UninstallString", uninstaller),
                               ("QuietUninstallString", uninstaller + " /S")):
            self.assertEqual(self.value(UNINSTALL_KEY, name), ("REG_SZ", expected), name)
        self.assertTrue(os.path.isfile(self.unix(MENU_LINK)))

    def assert_services_running(self, folder):
        self.wait_until(lambda: all(self.services(folder).values()), 15,
                        "Usblink and Serlink from %s" % folder)
        running = self.services(folder)
        self.assertEqual([len(running["Usblink.exe"]), len(running["Serlink.exe"])], [1, 1])
        # Both answer on their own events: the objects exist once the services have started.
        for service in ("usb", "serial"):
            self.wait_until(lambda: self.world.run(TOUCHCTL, "set", service, "setupchange")[0] == 0,
                            15, "the %s service's events" % service)
        return running

    def assert_removed(self, folder):
        self.assertFalse(os.path.exists(self.unix(folder)), "the folder is left")
        self.assertEqual(self.services(folder), {"Usblink.exe": [], "Serlink.exe": []})
        for name in ("Usblink", "Serlink"):
            self.assertIsNone(self.value(RUN_KEY, name))
        self.assertIsNone(self.value(PARAM_KEY + "\\Program", "TargetDir"))
        self.assertFalse(self.key_exists(UNINSTALL_KEY))
        self.assertFalse(os.path.exists(self.unix(MENU_LINK)))

    # Installation.
    def test_silent_install_into_the_default_folder(self):
        self.assertEqual(self.setup(), 0)
        self.assert_installed(DEFAULT_DIR)
        self.assert_services_running(DEFAULT_DIR)
        log = self.setup_log(DEFAULT_DIR)
        # drvsetup ran in the installation folder and its lines reached the log. The store
        # keeps an INF under its own name, or as oemN.inf when a different INF of that name is
        # there already (an earlier test's).
        self.assertRegex(log, re.escape("%s\\MeridaxMouse.inf installed - " % DEFAULT_DIR) +
                         r"(MeridaxMouse|oem\d+)\.inf\n")
        self.assertRegex(log, re.escape("%s\\tpusbdrv.inf installed-" % DEFAULT_DIR) +
                         r"(tpusbdrv|oem\d+)\.inf\n")
        store = os.path.join(self.world.prefix, "drive_c", "windows", "inf")
        stored = [os.path.join(store, name) for name in os.listdir(store)]
        for name in INF_FILES:
            installed = os.path.join(self.unix(DEFAULT_DIR), name)
            self.assertTrue(any(filecmp.cmp(installed, other, shallow=False) for other in stored),
                            name + " is not in the INF store")
        # The Users group may open General with the full access that Clicktog asks for.
        code, acl = self.world.run(SETUPHELP, "show-general-acl")
        self.assertEqual(code, 0)
        self.assertIn("(A;CI;KA;;;BU)", acl)

    def test_chosen_folder_with_a_blank_install_and_waited_uninstall_removing_settings(self):
        self.assertEqual(self.setup("/D=" + words(CHOSEN_DIR)[0], *words(CHOSEN_DIR)[1:]), 0)
        self.assert_installed(CHOSEN_DIR)
        self.assertFalse(os.path.exists(self.unix(DEFAULT_DIR)))
        self.assert_services_running(CHOSEN_DIR)
        self.assertEqual(self.uninstall_and_wait(CHOSEN_DIR, "/REMOVESETTINGS"), 0)
        self.assert_removed(CHOSEN_DIR)
        self.assertFalse(self.key_exists(PARAM_KEY))

    # Upgrade and uninstallation.
    def test_upgrade_over_running_services_replaces_their_files_and_keeps_the_settings(self):
        self.assertEqual(self.setup(), 0)
        self.assert_services_running(DEFAULT_DIR)
        # An "older version": the installed services differ from the build's, and run.
        self.assertEqual(self.world.run(SETUPHELP, "stop-services")[0], 0)
        for name in ("Usblink.exe", "Serlink.exe"):
            with open(os.path.join(self.unix(DEFAULT_DIR), name), "ab") as program:
                program.write(b"older version")
            self.start_installed(DEFAULT_DIR, name)
        before = self.assert_services_running(DEFAULT_DIR)
        self.reg("add", PARAM_KEY + "\\General", "/v", "TickFreq", "/t", "REG_DWORD", "/d",
                 "1234", "/f")
        self.reg("add", PARAM_KEY + "\\General", "/v", "MON00An", "/d", "2", "/f")

        self.assertEqual(self.setup(), 0)
        self.assert_installed(DEFAULT_DIR)
        after = self.assert_services_running(DEFAULT_DIR)
        for name in before:
            self.assertNotEqual(before[name], after[name], "%s was not restarted" % name)
            self.assertIn("%s (process" % name, self.setup_log(DEFAULT_DIR))
        self.assertEqual(self.value(PARAM_KEY + "\\General", "TickFreq"), ("REG_DWORD", "0x4d2"))
        self.assertEqual(self.value(PARAM_KEY + "\\General", "MON00An"), ("REG_SZ", "2"))

    def test_silent_uninstall_removes_the_installation_and_keeps_the_settings(self):
        self.assertEqual(self.setup(), 0)
        self.assert_services_running(DEFAULT_DIR)
        self.reg("add", PARAM_KEY + "\\General", "/v", "TickFreq", "/t", "REG_DWORD", "/d",
                 "1234", "/f")
        # As the Uninstall key's QuietUninstallString says. The uninstaller goes on from a copy
        # of itself in the temporary folder and its first process returns at once.
        self.assertEqual(self.world.run(self.unix(DEFAULT_DIR + "\\Uninstall.exe"), "/S")[0], 0)
        self.wait_until(lambda: not wine_processes(self.world, "\\Un.exe"), 60,
                        "the uninstaller to finish")
        self.assert_removed(DEFAULT_DIR)
        self.assertEqual(self.value(PARAM_KEY + "\\General", "TickFreq"), ("REG_DWORD", "0x4d2"))

    # A service that does not end.
    def test_a_service_that_ignores_its_exit_event_stops_setup_and_uninstall_with_code_3(self):
        self.assertEqual(self.setup(), 0)
        self.assert_services_running(DEFAULT_DIR)
        self.assertEqual(self.world.run(TOUCHCTL, "set", "usb", "exit")[0], 0)
        self.wait_until(lambda: not self.services(DEFAULT_DIR)["Usblink.exe"], 15,
                        "Usblink to end")
        stand_in = self.start_stand_in()

        started = time.monotonic()
        self.assertEqual(self.setup(), SERVICE_STILL_RUNNING)
        self.assertGreaterEqual(time.monotonic() - started, 10)  # the whole time-out was given
        log = self.setup_log(DEFAULT_DIR)
        self.assertRegex(log, r"Usblink\.exe \(process \d+\) did not end within 10 s of its exit "
                              r"event")
        self.assertIn("Stopped: a touch service is still running (exit code 3).", log)
        self.assertNotIn("Done.", log)

        self.assertEqual(self.uninstall_and_wait(DEFAULT_DIR), SERVICE_STILL_RUNNING)
        self.assertTrue(os.path.isfile(os.path.join(self.unix(DEFAULT_DIR), "Usblink.exe")))
        self.assertTrue(self.key_exists(UNINSTALL_KEY))
        self.assertIsNone(stand_in.poll(), "the stand-in was ended by force")

    def test_a_program_file_in_use_stops_the_upgrade_with_code_4(self):
        # A silent run would otherwise skip the file and report success.
        self.assertEqual(self.setup(), 0)
        self.assert_services_running(DEFAULT_DIR)
        self.start_installed(DEFAULT_DIR, "Clicktog.exe")
        self.wait_until(lambda: wine_processes(self.world, DEFAULT_DIR + "\\Clicktog.exe"), 15,
                        "Clicktog to run")
        self.assertEqual(self.setup(), 4)
        self.assertIn("Stopped: a file could not be written", self.setup_log(DEFAULT_DIR))
        self.assertNotIn("Done.", self.setup_log(DEFAULT_DIR))


if __name__ == "__main__":
    unittest.main()
