"""ZorvikTouchSetup.exe under Wine, run silently as integrators do: installation into the default
folder and into a chosen one, an upgrade over running services, uninstallation, a service that
does not end when told to, and the rights setup leaves: on the settings key, the services' data
folder and a chosen folder, and the token the services it starts run with. Wine checks no
rights, so the access lists are read back as SDDL, and a stand-in shell (setupkit) runs with the
limited token a user's shell has under UAC."""

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
SETUPKIT = "testkit/setup/setupkit.exe"
DATA_DIR = "C:\\ProgramData\\Zorvik Touch"
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

# Access rights as SDDL writes them (two letters each) and the well-known trustees by alias.
RIGHTS = {"GA": 0x10000000, "GX": 0x20000000, "GW": 0x40000000, "GR": 0x80000000,
          "SD": 0x10000, "RC": 0x20000, "WD": 0x40000, "WO": 0x80000,
          "CC": 0x1, "DC": 0x2, "LC": 0x4, "SW": 0x8, "RP": 0x10, "WP": 0x20, "DT": 0x40,
          "LO": 0x80, "CR": 0x100, "KA": 0xF003F, "KR": 0x20019, "KW": 0x20006, "KX": 0x20019,
          "FA": 0x1F01FF, "FR": 0x120089, "FW": 0x120116, "FX": 0x1200A0}
TRUSTEES = {"S-1-5-4": "IU", "S-1-5-32-545": "BU", "S-1-5-32-544": "BA", "S-1-5-18": "SY",
            "S-1-5-11": "AU", "S-1-1-0": "WD"}
KEY_READ = 0x20019
READS = KEY_READ | RIGHTS["GR"]
WRITE_DAC_OR_OWNER = 0xC0000
INTERACTIVE_KEY_RIGHTS = 0x3001F  # read, set value, create subkey, delete
USERS_MODIFY = 0x1301BF
USERS_READ_EXECUTE = 0x1200A9
FULL = 0x1F01FF


def dacl(sddl):
    """(flags of the list, [(type, flags, mask, trustee)]) of an SDDL "D:" part."""
    match = re.search(r"D:([A-Z]*)((\([^)]*\))*)", sddl)
    assert match, sddl
    entries = []
    for entry in re.findall(r"\(([^)]*)\)", match.group(2)):
        kind, flags, rights, _, _, trustee = entry.split(";")[:6]
        if rights.lower().startswith("0x"):
            mask = int(rights, 16)
        else:
            mask = 0
            for k in range(0, len(rights), 2):
                mask |= RIGHTS[rights[k:k + 2]]
        entries.append((kind, "".join(sorted(re.findall("..", flags))),
                        mask, TRUSTEES.get(trustee, trustee)))
    return match.group(1), entries


def explicit(entries):
    return [e for e in entries if "ID" not in re.findall("..", e[1])]


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
        self.start_shell()

    def tearDown(self):
        for stand_in in self.stand_ins:
            if stand_in.poll() is None:
                stand_in.kill()
                stand_in.wait()
        self.clean()

    def clean(self):
        """No service of any earlier installation running, none installed, no settings."""
        self.world.run(SETUPHELP, "stop-services", "10000")
        for name in ("Usblink.exe", "Serlink.exe", "setupkit.exe"):
            for pid in wine_processes(self.world, name):
                os.kill(pid, signal.SIGKILL)
        for key in (PARAM_KEY, UNINSTALL_KEY):
            self.reg("delete", key, "/f")
        for name in ("Usblink", "Serlink"):
            self.reg("delete", RUN_KEY, "/v", name, "/f")
        for folder in (DEFAULT_DIR, ntpath.dirname(CHOSEN_DIR), ntpath.dirname(MENU_LINK),
                       DATA_DIR):
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

    def start_shell(self):
        """The signed-in user's shell: limited token, shell window."""
        log = os.path.join(self.sim_dir, "shell.log")
        if os.path.exists(log):
            os.remove(log)
        self.stand_ins.append(self.world.start(SETUPKIT, "shell", "600", log=log))
        self.wait_until(lambda: "shell ready" in self.read(log), 30, "the stand-in shell")
        self.shell_pid = int(re.search(r"shell ready (\d+)", self.read(log)).group(1))

    def end_shell(self):
        for pid in wine_processes(self.world, "setupkit.exe"):
            os.kill(pid, signal.SIGKILL)
        self.wait_until(lambda: not wine_processes(self.world, "setupkit.exe"), 10,
                        "the stand-in shell to end")

    def acl(self, *args):
        code, out = self.world.run(SETUPHELP, *args)
        self.assertEqual(code, 0, out)
        return dacl(out)

    def applied_acl(self, log, folder):
        """The access list setup gave `folder`, as its log says (Wine keeps none on folders)."""
        line = re.search("^" + re.escape(folder) + ": (D:.*)$", log, re.M)
        self.assertTrue(line, log)
        return dacl(line.group(1))

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
        self.assertIn("%s: inside Program Files, whose rights it inherits" % DEFAULT_DIR, log)

    def test_the_settings_key_opens_to_interactive_users_and_nothing_more(self):
        # An older version's grant on General: full access for the Users group.
        self.assertEqual(self.world.run(SETUPKIT, "set-key-acl", "General",
                                        "D:(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;CI;KA;;;BU)")[0], 0)
        for run in ("install", "upgrade"):  # the second run adds no second entry
            with self.subTest(run=run):
                self.assertEqual(self.setup(), 0)
                self.assertEqual("the Users group's own full access removed" in
                                 self.setup_log(DEFAULT_DIR), run == "install")
                _, root = self.acl("show-key-acl")
                self.assertEqual([e for e in explicit(root) if e[3] in ("IU", "BU", "AU", "WD")
                                  and e[2] & ~READS],
                                 [("A", "CI", INTERACTIVE_KEY_RIGHTS, "IU")])
                _, general = self.acl("show-key-acl", "General")
                for kind, _, mask, trustee in general:
                    if kind == "A" and trustee in ("IU", "BU", "AU", "WD"):
                        self.assertEqual(mask & WRITE_DAC_OR_OWNER, 0, general)
                self.assertEqual([e for e in explicit(general) if e[3] == "BU"
                                  and e[2] & ~READS], [])

    def test_services_write_to_a_data_folder_users_may_modify(self):
        self.assertEqual(self.setup(), 0)
        self.assertTrue(os.path.isdir(self.unix(DATA_DIR)))
        log = self.setup_log(DEFAULT_DIR)
        self.assertIn("Service logs and captures: %s (users may write)" % DATA_DIR, log)
        flags, entries = self.applied_acl(log, DATA_DIR)
        self.assertNotIn("P", flags)  # the rest comes from ProgramData
        self.assertIn(("A", "CIOI", USERS_MODIFY, "BU"), explicit(entries))

    # The services' token.
    def test_setup_starts_the_services_with_the_signed_in_users_token(self):
        # Wine 8's CreateProcessWithTokenW ignores the token, so what can be seen here is that
        # the shell's process was the one whose token was asked for.
        self.assertEqual(self.setup(), 0)
        running = self.assert_services_running(DEFAULT_DIR)
        log = self.setup_log(DEFAULT_DIR)
        for name in ("Usblink.exe", "Serlink.exe"):
            with self.subTest(service=name):
                started = re.search(re.escape(name) + r" started as the signed-in user \(process "
                                    r"\d+, with the token of the desktop shell, process (\d+)\)",
                                    log)
                self.assertTrue(started, log)
                self.assertEqual(int(started.group(1)), self.shell_pid)
                self.assertEqual(len(running[name]), 1)

    def test_without_a_signed_in_user_setup_starts_no_service(self):
        # Session 0 under a deployment tool: no shell window. The Run key starts them at logon.
        self.end_shell()
        self.assertEqual(self.setup(), 0)
        self.assert_installed(DEFAULT_DIR)
        time.sleep(3)
        self.assertEqual(self.services(DEFAULT_DIR), {"Usblink.exe": [], "Serlink.exe": []})
        self.assertIn("No signed-in desktop user: Usblink.exe and Serlink.exe start at the next "
                      "logon", self.setup_log(DEFAULT_DIR))

    def test_chosen_folder_with_a_blank_install_and_waited_uninstall_removing_settings(self):
        self.assertEqual(self.setup("/D=" + words(CHOSEN_DIR)[0], *words(CHOSEN_DIR)[1:]), 0)
        self.assert_installed(CHOSEN_DIR)
        self.assertFalse(os.path.exists(self.unix(DEFAULT_DIR)))
        # Program Files' rights: nobody but the system and the administrators changes the
        # programs the elevated panel starts.
        flags, entries = self.applied_acl(self.setup_log(CHOSEN_DIR), CHOSEN_DIR)
        self.assertIn("P", flags)
        self.assertEqual(sorted(entries), sorted([("A", "CIOI", FULL, "SY"),
                                                  ("A", "CIOI", FULL, "BA"),
                                                  ("A", "CIOI", USERS_READ_EXECUTE, "BU")]))
        self.assert_services_running(CHOSEN_DIR)
        self.assertEqual(self.uninstall_and_wait(CHOSEN_DIR, "/REMOVESETTINGS"), 0)
        self.assert_removed(CHOSEN_DIR)
        self.assertFalse(self.key_exists(PARAM_KEY))
        self.assertFalse(os.path.exists(self.unix(DATA_DIR)))

    def test_a_folder_named_through_program_files_gets_its_rights(self):
        # Compared as named, "C:\\Program Files\\.." would pass for a folder inside Program Files
        # and keep its parent's rights; and nothing is done to a folder that is not there.
        os.makedirs(self.unix(CHOSEN_DIR), exist_ok=True)
        for named, code, said in (
                ("C:\\Program Files\\..\\Kiosk Apps\\Zorvik Touch", 0,
                 CHOSEN_DIR + ": the rights of Program Files"),
                ("C:\\Program Files\\Zorvik Touch\\missing", 1, "Opening C:\\Program Files")):
            with self.subTest(named=named):
                got, out = self.world.run(SETUPHELP, "secure-folder", named)
                self.assertEqual(got, code, out)
                self.assertIn(said, out)

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
        self.assertTrue(os.path.isdir(self.unix(DATA_DIR)))  # logs stay with the settings

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
