"""Orbisk's Multi Monitor Display page under Wine, on one monitor and on two, driven with real
clicks and keys: its lists and drop-downs, the mode controls, "Mapping>>" with the "Select
monitors" dialog, the active monitor written at once, and what Apply leaves under MonitorMaps and
tells the services."""

import subprocess
import time

from orbisk_fixture import (ID_APPLY, IDCANCEL, IDOK, SERIAL_SETUP, SHEET, USB_SETUP, OrbiskTest,
                            TwoMonitorOrbiskTest)

TAB = "Multi Monitor Display"
SELECT = "Select monitors"
MAPS = "HKLM\\Software\\ZorvikTouchParam\\MonitorMaps"
DEVICES, MONITORS, MAPPING, ACTIVE, DIRECTION = 1005, 1037, 1001, 1048, 1051
SUPPORT, CLONE, INDEPENDENT, STRETCH = 1036, 1022, 1023, 1024
USB_PORT = "\\\\?\\usb#zorvik#one"


class DisplayPageTest(OrbiskTest):
    def seed_devices(self):
        """One USB and one serial controller, the serial one attached to display 1."""
        self.set_dword("USBAcitve", "NextInstanceCount", 1)
        self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\USBAcitve\\USB01", "/v", "USBID", "/d",
                 USB_PORT, "/f")
        self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\USBAcitve\\USB01", "/v", "DeviceID",
                 "/d", "ZT-SIM", "/f")
        self.set_dword("SerialAcitve", "NextInstanceCount", 1)
        self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\SerialAcitve\\COM00", "/v", "COMID",
                 "/d", "3", "/f")
        self.set_dword("MonitorMaps", "MonitorCount", 2)
        self.set_dword("MonitorMaps\\Display00", "AttachedDeviceNo", 0)
        self.set_dword("MonitorMaps\\Display01", "AttachedDeviceNo", 1)
        self.reg("add", MAPS + "\\Display01", "/v", "Device00", "/d", "COM3", "/f")

    def open_page(self):
        self.open_panel()
        self.show_tab(TAB)

    def value(self, name, key=""):
        """A MonitorMaps value (a number, or the text of a REG_SZ), None when absent."""
        result = subprocess.run(["wine", "reg", "query", MAPS + key, "/v", name],
                                env=self.world.env, capture_output=True)
        for line in result.stdout.decode("latin-1").splitlines():
            fields = line.split(None, 2)
            if len(fields) >= 2 and fields[0] == name:
                if fields[1] == "REG_DWORD":
                    number = int(fields[2], 16)
                    return number - (1 << 32) if number >= 1 << 31 else number
                return fields[2] if len(fields) > 2 else ""
        return None

    def rect(self, display):
        key = "\\Display%02d" % display
        return tuple(self.value(name, key) for name in ("X", "Y", "CX", "CY"))

    def items(self, list_id, title=SHEET):
        return self.ui_lines("list-items", title, str(list_id))

    def choose(self, combo_id, *keys):
        """Opens a drop-down with a click and picks an item with the keys."""
        self.click(combo_id)
        self.keys(*keys, "Return")

    def map_first_row(self, *input_in_dialog):
        """Selects the first device row, presses "Mapping>>" and gives the dialog its input."""
        self.click_at(self.items(DEVICES)[0])
        self.click(MAPPING)
        self.world.run("testkit/uictl/uictl.exe", "wait-window", SELECT, "10000")
        time.sleep(0.3)
        for action in input_in_dialog:
            action()


class OneMonitor(DisplayPageTest):
    def test_lists_drop_downs_and_defaults_then_ok_writes_one_screen_and_tells_no_one(self):
        usb, serial = self.count_events(USB_SETUP, SERIAL_SETUP, seconds=20)
        self.seed_devices()
        self.open_page()
        self.assertEqual(self.value("ActiveMonitor"), 0)  # created by the page's first look
        columns = self.ui_lines("list-columns", SHEET, str(DEVICES))
        self.assertEqual([c["text"] for c in columns],
                         ["Port No", "Attached Monitor", "Device Name", "Comm. Device"])
        self.assertEqual({c["width"] for c in columns}, {columns[0]["client_width"] // 4})
        columns = self.ui_lines("list-columns", SHEET, str(MONITORS))
        self.assertEqual([(c["text"], c["width"]) for c in columns],
                         [("Monitor Name", columns[0]["client_width"] // 2),
                          ("Working Area", columns[0]["client_width"] // 2)])
        self.assertEqual(self.rows(DEVICES), [[USB_PORT, "DISPLAY 0", "ZT-SIM", "USB"],
                                              ["COM3", "DISPLAY 1", "", "COM Port"]])
        self.assertEqual(self.rows(MONITORS), [["\\\\.\\DISPLAY1", "(0,1024,0,768)"]])
        controls = self.controls()
        self.assertTrue(controls[DEVICES]["full_row"] and controls[DEVICES]["images"])
        self.assertEqual((controls[ACTIVE]["sel"], controls[ACTIVE]["items"]), (0, 2))
        self.assertEqual((controls[DIRECTION]["sel"], controls[DIRECTION]["items"]), (-1, 2))
        self.assertEqual(self.checked([SUPPORT, CLONE, INDEPENDENT, STRETCH]), [CLONE])
        self.assertEqual([controls[i]["enabled"] for i in (CLONE, INDEPENDENT, STRETCH, DIRECTION)],
                         [False] * 4)
        self.close_with(IDOK)
        self.assertEqual([self.value(n) for n in ("MultiMonSupport", "MultiMonMode",
                                                  "MonitorCount", "ActiveMonitor",
                                                  "SM_CXVIRTUALSCREEN", "SM_CYVIRTUALSCREEN")],
                         [0, 0, 2, 0, 1024, 768])
        # Support off: both displays cover the primary screen.
        self.assertEqual((self.rect(0), self.rect(1)), ((0, 0, 1024, 768), (0, 0, 1024, 768)))
        # The device attached nowhere now belongs to Display00.
        self.assertEqual(self.value("Device00", "\\Display00"), USB_PORT)
        self.assertEqual(self.value("DisplayDeviceName", "\\Display01"), "DISPLAY 1")
        self.assertEqual(self.value("Device00", "\\Display01"), "COM3")
        self.assertEqual((usb(), serial()), (0, 0))

    def test_stretch_then_vertical_applies_mode_3_halves_and_tells_both_services(self):
        usb, serial = self.count_events(USB_SETUP, SERIAL_SETUP, seconds=25)
        self.open_page()
        self.click(SUPPORT)
        controls = self.controls()
        self.assertTrue(controls[ID_APPLY]["enabled"])
        self.assertEqual([controls[i]["enabled"] for i in (CLONE, INDEPENDENT, STRETCH)],
                         [True] * 3)
        self.assertFalse(controls[DIRECTION]["enabled"])  # the check box leaves it alone
        self.click(STRETCH)
        controls = self.controls()
        self.assertEqual(self.checked([CLONE, INDEPENDENT, STRETCH]), [STRETCH])
        self.assertEqual((controls[DIRECTION]["enabled"], controls[DIRECTION]["sel"]), (True, 0))
        self.choose(DIRECTION, "Down")
        self.assertEqual(self.controls()[DIRECTION]["sel"], 1)
        self.click(ID_APPLY)
        self.wait_until(lambda: self.value("MultiMonMode") == 3, 5, "MultiMonMode 3")
        self.assertEqual(self.value("MultiMonSupport"), 1)
        self.assertEqual((self.rect(0), self.rect(1)), ((0, 0, 1024, 384), (0, 384, 1024, 384)))
        # Back to horizontal: the radio still says "Stretch mode", the direction decides.
        self.choose(DIRECTION, "Up")
        self.close_with(IDOK)
        self.assertEqual(self.value("MultiMonMode"), 2)
        self.assertEqual((self.rect(0), self.rect(1)), ((0, 0, 512, 768), (512, 0, 512, 768)))
        self.assertEqual((usb(), serial()), (2, 2))

    def test_mapping_through_select_monitors_and_a_fresh_rebuild_at_ok(self):
        self.seed_devices()
        # Left from an earlier mapping: a third device and a subkey.
        self.set_dword("MonitorMaps\\Display00", "AttachedDeviceNo", 3)
        self.reg("add", MAPS + "\\Display00", "/v", "Device02", "/d", "COM9", "/f")
        self.reg("add", MAPS + "\\Display00\\Stale", "/v", "X", "/d", "1", "/f")
        self.open_page()
        self.click(MAPPING)  # nothing selected: no dialog, nothing changed
        time.sleep(0.5)
        self.assertNotIn(SELECT, [w["title"] for w in self.ui_lines("windows")])
        self.assertFalse(self.controls()[ID_APPLY]["enabled"])

        def single_then_double_click_display_01():
            dialog = {c["id"]: c for c in self.ui_lines("controls", SELECT)}
            self.assertEqual((dialog[MONITORS]["view"], dialog[MONITORS]["single_selection"]),
                             ("icon", True))
            self.assertEqual([c["text"] for c in self.ui_lines("list-columns", SELECT,
                                                               str(MONITORS))], ["Monitor Name"])
            items = self.items(MONITORS, SELECT)
            self.assertEqual([i["text"] for i in items], ["Display00", "Display01"])
            self.click_at(items[1])
            self.assertIn(SELECT, [w["title"] for w in self.ui_lines("windows")])
            self.click_at(items[1], repeat=2, delay_ms=80)

        self.map_first_row(single_then_double_click_display_01)
        self.wait_until(lambda: SELECT not in [w["title"] for w in self.ui_lines("windows")], 5,
                        "the dialog to close")
        self.assertEqual([r[1] for r in self.rows(DEVICES)], ["DISPLAY 1", "DISPLAY 1"])
        self.assertTrue(self.controls()[ID_APPLY]["enabled"])
        # Escape closes the dialog as Cancel: the row keeps its display.
        self.map_first_row(lambda: self.keys("Escape"))
        self.assertEqual([r[1] for r in self.rows(DEVICES)], ["DISPLAY 1", "DISPLAY 1"])
        self.close_with(IDOK)
        self.assertEqual(self.value("AttachedDeviceNo", "\\Display00"), 0)
        self.assertEqual(self.value("Device00", "\\Display00"), None)
        self.assertEqual(self.value("Device02", "\\Display00"), None)
        self.assertEqual(self.reg("query", MAPS + "\\Display00\\Stale"), 1)
        self.assertEqual(self.value("AttachedDeviceNo", "\\Display01"), 2)
        self.assertEqual((self.value("Device00", "\\Display01"),
                          self.value("Device01", "\\Display01")), (USB_PORT, "COM3"))

    def test_active_monitor_without_an_item_shows_none_and_a_choice_is_written_at_once(self):
        self.set_dword("MonitorMaps", "ActiveMonitor", 3)
        self.open_page()
        self.assertEqual(self.controls()[ACTIVE]["sel"], -1)
        self.assertEqual(self.value("ActiveMonitor"), 3)
        self.choose(ACTIVE, "Down", "Down")
        self.assertEqual(self.controls()[ACTIVE]["sel"], 1)
        self.assertEqual(self.value("ActiveMonitor"), 1)  # before any Apply
        self.assertTrue(self.controls()[ID_APPLY]["enabled"])
        self.close_with(IDCANCEL)
        self.assertEqual(self.value("ActiveMonitor"), 1)
        self.assertEqual(self.value("MultiMonMode"), None)  # Cancel applied nothing


class TwoMonitors(DisplayPageTest, TwoMonitorOrbiskTest):
    def test_both_monitors_listed_and_each_mode_maps_them(self):
        self.seed_devices()
        self.open_page()
        self.assertEqual(self.rows(MONITORS), [["\\\\.\\DISPLAY1", "(0,1024,0,768)"],
                                               ["\\\\.\\DISPLAY2", "(0,800,0,600)"]])
        self.click(SUPPORT)
        self.click(INDEPENDENT)
        self.assertFalse(self.controls()[DIRECTION]["enabled"])
        self.click(ID_APPLY)
        self.wait_until(lambda: self.value("MultiMonMode") == 1, 5, "MultiMonMode 1")
        self.assertEqual((self.rect(0), self.rect(1)), ((0, 0, 1024, 768), (0, 0, 800, 600)))
        self.assertEqual(self.value("SM_CXVIRTUALSCREEN"), 1024)  # both screens at the origin
        self.click(CLONE)
        self.click(ID_APPLY)
        self.wait_until(lambda: self.value("MultiMonMode") == 0, 5, "MultiMonMode 0")
        self.assertEqual((self.rect(0), self.rect(1)), ((0, 0, 1024, 768), (0, 0, 1024, 768)))
        self.click(STRETCH)
        self.close_with(IDOK)
        # Stretch splits monitor 0 only.
        self.assertEqual((self.rect(0), self.rect(1)), ((0, 0, 512, 768), (512, 0, 512, 768)))
        self.assertEqual(self.value("Device00", "\\Display01"), "COM3")
