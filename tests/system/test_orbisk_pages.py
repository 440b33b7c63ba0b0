"""Orbisk's Multipoint Touch and Popup Control pages under Wine, driven with real clicks, drags
and keys: the values shown for an empty registry and an empty key, typed range ends and the
"Invalid format!" box, dragging a range slider, the values written at Apply and OK, and the
popup program started and stopped (a stand-in Popdeck.exe built with the tests)."""

import os
import shutil
import signal
import subprocess
import time

from orbisk_fixture import ID_APPLY, IDOK, SERIAL_SETUP, SHEET, UICTL, USB_SETUP, OrbiskTest
from usblink_fixture import BUILD, wine_processes

MP_TAB = "Multipoint Touch"
POPUP_TAB = "Popup Control"
ELEVEN = ["MPXLimitStart", "MPXLimitEnd", "MPYLimitStart", "MPYLimitEnd", "MPAllowState",
          "EnableMouseAction", "FirstTouchOnly", "EnableTouchCorrect", "EnableMPLimit",
          "MPTouchPressure", "MPTouchVelocity"]
OPTIONS = [1022, 1023, 1004, 1005, 1006, 1007]
RANGE_FIELDS = [1065, 1070, 1066, 1071]
POPUP_FIVE = ["MPAreaLimitOption", "MPXAllowAreaPercent", "MPYAllowAreaPercent",
              "MPPopupActiveTime", "MPPopupProcessState"]
EDGES = [1004, 1005, 1006, 1007]
START = "Popup Control\n\nSTART >>"
STOP = "Popup Control\n\nSTOP >>"
STANDIN = os.path.join(BUILD, "testkit", "panel", "Popdeck.exe")


class PagesTest(OrbiskTest):
    def mp_control(self, name):
        result = subprocess.run(["wine", "reg", "query",
                                 "HKLM\\Software\\ZorvikTouchParam\\MPControl", "/v", name],
                                env=self.world.env, capture_output=True)
        for line in result.stdout.decode("latin-1").splitlines():
            fields = line.split()
            if len(fields) == 3 and fields[0] == name:
                value = int(fields[2], 16)
                return value - (1 << 32) if value >= 1 << 31 else value
        return None

    def texts(self, ids):
        controls = self.controls()
        return [controls[i]["text"] for i in ids]

    def retype(self, field_id, *keys):
        """Clicks into a field, selects all of its text and types over it, key by key."""
        self.click(field_id)
        self.keys("End", "shift+Home", *keys)

    def open_tab(self, caption):
        self.open_panel()
        self.show_tab(caption)

    def windows(self):
        return [w["title"] for w in self.ui_lines("windows") if w["title"]]


class MultipointPage(PagesTest):
    def test_empty_registry_shows_full_ranges_and_ok_writes_eleven_values(self):
        usb, serial = self.count_events(USB_SETUP, SERIAL_SETUP, seconds=20)
        self.open_tab(MP_TAB)
        self.assertEqual(self.texts(RANGE_FIELDS + [1002, 1003]),
                         ["0", "1000", "0", "1000", "0", "100"])
        # Enable Multi-touch Limit starts unchecked, as the service takes it without the key.
        self.assertEqual(self.checked(OPTIONS), [1022, 1004, 1005])
        self.assertFalse(self.controls()[ID_APPLY]["enabled"])
        self.close_with(IDOK)
        self.assertEqual([self.mp_control(n) for n in ELEVEN],
                         [0, 1000, 0, 1000, 1, 1, 1, 0, 0, 0, 100])
        self.assertIsNone(self.mp_control("MPLimitState"))
        self.assertEqual((usb(), serial()), (1, 1))

    def test_a_key_without_values_shows_empty_ranges_and_mp_limit_state_is_kept(self):
        self.set_dword("MPControl", "MPLimitState", 7)
        self.open_tab(MP_TAB)
        self.assertEqual(self.texts(RANGE_FIELDS + [1002, 1003]),
                         ["0", "0", "0", "0", "0", "100"])
        self.assertEqual(self.checked(OPTIONS), [1023])
        self.click(1006)  # Enable Multi-touch Limit
        self.click(1022)  # Allow XY range
        self.assertEqual(self.checked(OPTIONS), [1022, 1006])
        self.assertTrue(self.controls()[ID_APPLY]["enabled"])
        self.retype(1003, "2", "5", "0")  # velocity
        self.click(ID_APPLY)
        self.wait_until(lambda: self.mp_control("EnableMPLimit") == 1, 5, "EnableMPLimit 1")
        self.assertEqual([self.mp_control(n) for n in ELEVEN],
                         [0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 250])
        self.assertEqual(self.mp_control("MPLimitState"), 7)

    def test_typed_start_beyond_the_end_is_rewritten_and_below_zero_stored_as_zero(self):
        self.set_dword("MPControl", "MPXLimitEnd", 800)
        self.set_dword("MPControl", "MPYLimitEnd", 600)
        self.open_tab(MP_TAB)
        self.retype(1065, "1", "2", "0", "0")
        self.assertEqual(self.texts([1065]), ["800"])
        self.retype(1066, "5", "0", "Home", "minus")
        self.assertEqual(self.texts([1066]), ["-50"])  # the field keeps what was typed
        self.retype(1071, "7", "0", "0", "0")  # beyond the bound: the slider stops at 1000
        self.assertNotIn("Error", self.windows())
        self.close_with(IDOK)
        self.assertEqual([self.mp_control(n) for n in ELEVEN[:4]], [800, 800, 0, 1000])

    def test_every_keystroke_that_leaves_a_field_invalid_shows_the_box(self):
        self.open_tab(MP_TAB)
        for keys in (("End", "shift+Home", "BackSpace"), ("minus",)):
            if keys[0] == "End":
                self.click(1070)
            self.keys(*keys)
            self.world.run_tool(UICTL, "wait-window", "Error", "5000")
            texts = [t["text"] for t in self.ui_lines("texts", "Error")]
            self.assertIn("Invalid format!", texts)
            self.keys("Return")
            self.wait_until(lambda: "Error" not in self.windows(), 5, "the box to close")
        self.keys("9")  # "-9": below the start, so the end becomes the start
        self.assertEqual(self.texts([1070]), ["0"])
        self.close_with(IDOK)
        self.assertEqual([self.mp_control(n) for n in ELEVEN[:2]], [0, 0])

    def test_dragging_a_slider_end_updates_its_fields_and_apply_writes_the_slider(self):
        self.open_tab(MP_TAB)
        slider = self.controls()[1074]
        arrow = slider["h"] * 3 // 4
        x, y = slider["x"] + arrow // 2, slider["y"] + slider["h"] // 2
        self.xdotool("mousemove", str(x), str(y), "mousedown", "1")
        self.xdotool("mousemove", str(x + 40), str(y))
        self.xdotool("mousemove", str(x + 90), str(y), "mouseup", "1")
        start, end = (int(t) for t in self.texts([1065, 1070]))
        self.assertGreater(start, 100)
        self.assertEqual(end, 1000)
        self.assertTrue(self.controls()[ID_APPLY]["enabled"])
        self.click(ID_APPLY)
        self.wait_until(lambda: self.mp_control("MPXLimitStart") == start, 5, "the new start")
        self.assertEqual(self.mp_control("MPXLimitEnd"), 1000)


class PopupPage(PagesTest):
    def setUp(self):
        super().setUp()
        self.drive_c = os.path.join(self.world.prefix, "drive_c")
        self.folder = os.path.join(self.drive_c, "Zorvik Touch")
        for path in (os.path.join(self.folder, "Popdeck.log"),
                     os.path.join(self.drive_c, "Zorvik.log")):
            if os.path.exists(path):
                os.remove(path)

    def tearDown(self):
        super().tearDown()
        for pid in wine_processes(self.world, "Popdeck.exe") + wine_processes(self.world,
                                                                                "Zorvik.exe"):
            os.kill(pid, signal.SIGKILL)

    def install_standin(self):
        """Popdeck in a folder with a blank, and a decoy where an unquoted start would look."""
        os.makedirs(self.folder, exist_ok=True)
        shutil.copy(STANDIN, os.path.join(self.folder, "Popdeck.exe"))
        shutil.copy(STANDIN, os.path.join(self.drive_c, "Zorvik.exe"))
        self.set_target_dir("C:\\Zorvik Touch")

    def set_target_dir(self, folder):
        self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\Program", "/v", "TargetDir", "/d",
                 folder, "/f")

    def caption(self):
        return self.texts([1001])[0]

    def test_empty_registry_defaults_and_a_typed_percent_beyond_the_slider_is_written(self):
        self.open_tab(POPUP_TAB)
        controls = self.controls()
        self.assertEqual(self.checked(EDGES), EDGES)
        self.assertEqual(self.texts([1077, 1078, 1082]), ["5", "5", "5"])
        self.assertEqual([(controls[i]["pos"], controls[i]["min"], controls[i]["max"])
                          for i in (1079, 1080, 1081)], [(5, 1, 40), (5, 1, 40), (5, 1, 7)])
        self.assertEqual(self.caption(), START)
        self.retype(1077, "6", "0")
        self.assertFalse(self.controls()[ID_APPLY]["enabled"])  # typing 1077 marks nothing
        self.assertEqual(self.controls()[1079]["pos"], 5)  # nor moves the slider
        self.click(1006)  # right edge off
        self.assertTrue(self.controls()[ID_APPLY]["enabled"])
        self.click(ID_APPLY)
        self.wait_until(lambda: self.mp_control("MPAreaLimitOption") == 7, 5, "option 7")
        self.assertEqual([self.mp_control(n) for n in POPUP_FIVE], [7, 60, 5, 5, 0])

    def test_stored_time_beyond_the_slider_and_scrolls_copy_the_positions(self):
        self.set_dword("MPControl", "MPPopupActiveTime", 9)
        self.set_dword("MPControl", "MPAreaLimitOption", 5)
        self.open_tab(POPUP_TAB)
        self.assertEqual(self.texts([1082]), ["9"])
        self.assertEqual(self.controls()[1081]["pos"], 7)
        self.assertEqual(self.checked(EDGES), [1004, 1007])  # top and left
        self.click(1080)  # pages the Y slider; at the end of the scroll all fields follow
        self.keys("Right")
        controls = self.controls()
        positions = [controls[i]["pos"] for i in (1079, 1080, 1081)]
        self.assertNotEqual(positions[1], 5)
        self.assertEqual(self.texts([1077, 1078, 1082]), [str(p) for p in positions])
        self.close_with(IDOK)
        self.assertEqual([self.mp_control(n) for n in POPUP_FIVE], [5] + positions + [0])

    def test_start_then_stop_runs_and_ends_popdeck_from_a_folder_with_a_blank(self):
        # No MPControl yet: the button makes it, so that "STOP >>" can stop.
        self.install_standin()
        self.open_tab(POPUP_TAB)
        log = os.path.join(self.folder, "Popdeck.log")
        self.click(1001)
        self.wait_until(lambda: os.path.exists(log), 10, "Popdeck to start")
        self.assertEqual(self.caption(), STOP)
        self.assertEqual(self.mp_control("MPPopupProcessState"), 1)
        with open(log, encoding="latin-1") as started:
            self.assertEqual(started.read().splitlines(),
                             ['started "C:\\Zorvik Touch\\Popdeck.exe"'])
        self.assertTrue(wine_processes(self.world, "Popdeck.exe"))
        self.assertFalse(os.path.exists(os.path.join(self.drive_c, "Zorvik.log")))
        self.assertFalse(self.controls()[ID_APPLY]["enabled"])  # the button marks nothing
        self.click(1001)
        self.wait_until(lambda: not wine_processes(self.world, "Popdeck.exe"), 10,
                        "Popdeck to end")
        self.assertEqual(self.caption(), START)
        self.assertEqual(self.mp_control("MPPopupProcessState"), 0)

    def test_a_stored_state_of_2_makes_the_button_do_nothing(self):
        self.install_standin()
        self.set_dword("MPControl", "MPPopupProcessState", 2)
        self.open_tab(POPUP_TAB)
        self.assertEqual(self.caption(), STOP)
        self.click(1001)
        time.sleep(1.0)
        self.assertEqual(self.caption(), STOP)
        self.assertEqual(self.mp_control("MPPopupProcessState"), 2)
        self.assertFalse(os.path.exists(os.path.join(self.folder, "Popdeck.log")))

    def test_without_popdeck_the_error_box_ends_the_panel_and_the_next_start_shows_stop(self):
        os.makedirs(os.path.join(self.drive_c, "Empty Folder"), exist_ok=True)
        self.set_target_dir("C:\\Empty Folder")
        self.open_tab(POPUP_TAB)
        self.click(1001)
        code, _ = self.world.run_tool(UICTL, "wait-window", "orbisk", "10000")
        self.assertEqual(code, 0, "no error box")
        texts = [t["text"] for t in self.ui_lines("texts", "orbisk")]
        self.assertIn("ERROR: Cannot launch child process", [t.strip() for t in texts])
        self.keys("Return")
        self.assertEqual(self.panel.wait(timeout=10), 1)
        self.assertEqual(self.mp_control("MPPopupProcessState"), 1)
        self.open_tab(POPUP_TAB)
        self.assertEqual(self.caption(), STOP)
