"""Orbisk under Wine, driven with real clicks and keys: start-up, the sheet and its tabs, the
Setup page's values and the system double-click time, the Touch Device list and its scan, and
the signals reaching the real services."""

import time

from orbisk_fixture import (GENERAL, ID_APPLY, IDCANCEL, IDOK, ORBISK, SERIAL_RESCAN,
                            SERIAL_SETUP, SHEET, TABS, UICTL, USB_SETUP, OrbiskTest)

SEVEN = ["ScreenRotateFlag", "MouseMode", "ClickMode", "TickFreq", "Ticklength", "ClickArea",
         "DoubleClickSpeed"]
CLICK_MODE = [1009, 1010, 1011]
MOUSE_MODE = [1015, 1016]
ROTATION = [1022, 1023, 1024, 1043, 1044]


class Sheet(OrbiskTest):
    def test_seven_tabs_in_order_touch_device_selected_and_no_help_button(self):
        self.open_panel()
        tabs = self.tabs()
        self.assertEqual([t["text"] for t in tabs], TABS)
        self.assertEqual([t["selected"] for t in tabs], [True] + [False] * 6)
        controls = self.controls()
        buttons = {c["text"]: c for c in controls.values() if c["class"] == "Button"}
        self.assertEqual(controls[IDOK]["text"], "OK")
        self.assertEqual(controls[IDCANCEL]["text"], "Cancel")
        self.assertFalse(controls[ID_APPLY]["enabled"])
        self.assertNotIn("Help", buttons)
        self.assertNotIn("&Help", buttons)
        self.assertEqual(controls[1018]["text"], "Scan>>")
        self.assertFalse(controls.get(1055, {}).get("visible", False))  # progress bar hidden

    def test_a_second_start_ends_at_once_and_the_first_stays(self):
        self.open_panel()
        self.show_tab("Setup")
        started = time.monotonic()
        code, _ = self.world.run(ORBISK, timeout=20)
        self.assertEqual(code, 0)
        self.assertLess(time.monotonic() - started, 5)
        self.assertTrue(next(t for t in self.tabs() if t["text"] == "Setup")["selected"])

    def test_without_services_apply_writes_and_shows_no_error(self):
        self.open_panel()
        self.show_tab("Setup")
        self.click(1011)  # Lift up
        self.assertEqual(self.checked(CLICK_MODE), [1011])
        self.assertTrue(self.controls()[ID_APPLY]["enabled"])
        self.click(ID_APPLY)
        self.wait_until(lambda: self.general("ClickMode") == 2, 5, "ClickMode 2")
        self.assertFalse(self.controls()[ID_APPLY]["enabled"])
        windows = self.ui_lines("windows")
        self.assertEqual([w["title"] for w in windows if w["title"]], [SHEET])
        self.close_with(IDOK)

    def test_cancel_writes_and_signals_nothing_but_keeps_what_was_applied(self):
        usb, serial = self.count_events(USB_SETUP, SERIAL_SETUP, seconds=15)
        self.open_panel()
        self.show_tab("Setup")
        self.click(1009)  # No Sound
        self.click(ID_APPLY)
        self.wait_until(lambda: self.general("ClickMode") == 0, 5, "ClickMode 0")
        self.click(1016)  # Touch Only Mode, then Cancel
        self.close_with(IDCANCEL)
        self.assertEqual(self.general("MouseMode"), 0)
        self.assertEqual((usb(), serial()), (1, 1))

    def test_pages_never_shown_write_nothing(self):
        self.open_panel()
        self.close_with(IDOK)
        self.assertEqual([self.general(name) for name in SEVEN], [None] * 7)


class SetupPage(OrbiskTest):
    def test_empty_registry_shows_the_defaults_and_ok_writes_them(self):
        usb, serial = self.count_events(USB_SETUP, SERIAL_SETUP, seconds=15)
        self.open_panel()
        self.show_tab("Setup")
        controls = self.controls()
        self.assertEqual(self.checked(CLICK_MODE + MOUSE_MODE + ROTATION), [1010, 1015, 1022])
        self.assertEqual({i: (controls[i]["pos"], controls[i]["min"], controls[i]["max"])
                          for i in (1025, 1026, 1012, 1014)},
                         {1025: (1711, 500, 2000), 1026: (28, 1, 200), 1012: (500, 200, 900),
                          1014: (500, 0, 2000)})
        self.close_with(IDOK)
        self.assertEqual([self.general(name) for name in SEVEN], [0, 0, 1, 1711, 28, 500, 500])
        self.assertEqual((usb(), serial()), (1, 1))

    def test_values_no_button_stands_for_are_written_back_and_slider_ends_win(self):
        for name, value in (("ScreenRotateFlag", 45), ("MouseMode", 2), ("TickFreq", 3000),
                            ("Ticklength", 0), ("ClickMode", 7)):
            self.set_dword(GENERAL, name, value)
        self.open_panel()
        self.show_tab("Setup")
        self.assertEqual(self.checked(CLICK_MODE + MOUSE_MODE + ROTATION), [])
        self.close_with(IDOK)
        self.assertEqual([self.general(name) for name in SEVEN[:6]], [45, 2, 7, 2000, 1, 500])

    def test_360_degree_is_its_own_value_and_a_click_picks_another(self):
        self.set_dword(GENERAL, "ScreenRotateFlag", 360)
        self.open_panel()
        self.show_tab("Setup")
        self.assertEqual(self.checked(ROTATION), [1044])
        self.close_with(IDOK)
        self.assertEqual(self.general("ScreenRotateFlag"), 360)
        self.open_panel()
        self.show_tab("Setup")
        self.click(1023)  # 90 Degree
        self.assertEqual(self.checked(ROTATION), [1023])
        self.close_with(IDOK)
        self.assertEqual(self.general("ScreenRotateFlag"), 90)

    def test_stored_speed_is_in_force_at_once_even_after_cancel(self):
        self.set_dword(GENERAL, "DoubleClickSpeed", 640)
        self.open_panel()
        self.show_tab("Setup")
        self.assertEqual(self.controls()[1012]["pos"], 640)
        self.close_with(IDCANCEL)
        self.assertEqual(self.double_click_time(), 640)

    def test_arrow_keys_on_the_speed_slider_change_the_system_time_and_cancel_keeps_it(self):
        self.set_dword(GENERAL, "DoubleClickSpeed", 400)
        self.open_panel()
        self.show_tab("Setup")
        self.click(1012)  # takes the focus (and pages the slider)
        self.keys("Right", "Right", "Right")
        position = self.controls()[1012]["pos"]
        self.assertNotEqual(position, 400)
        self.assertEqual(self.double_click_time(), position)
        self.keys("Left")
        self.assertEqual(self.double_click_time(), position - 1)
        self.assertTrue(self.controls()[ID_APPLY]["enabled"])
        self.close_with(IDCANCEL)
        self.assertEqual(self.general("DoubleClickSpeed"), 400)
        self.assertEqual(self.double_click_time(), position - 1)

    def test_double_click_picture_alternates_only_for_fast_enough_pairs(self):
        self.set_dword(GENERAL, "DoubleClickSpeed", 900)
        self.open_panel()
        self.show_tab("Setup")
        picture = self.controls()[1052]
        self.assertEqual(self.folder_open(picture), False)
        self.click_at(picture, repeat=2, delay_ms=80)
        self.assertEqual(self.folder_open(picture), False)  # the first double click keeps 178
        self.click_at(picture, repeat=2, delay_ms=80)
        self.assertEqual(self.folder_open(picture), True)
        self.click_at(picture, repeat=2, delay_ms=1200)  # too slow for 900 ms: no double click
        self.assertEqual(self.folder_open(picture), True)
        self.click_at(picture, repeat=2, delay_ms=80)
        self.assertEqual(self.folder_open(picture), False)

    def folder_open(self, box):
        """The open folder has a sheet of paper with blue writing in it; the closed one none."""
        time.sleep(0.3)
        return (0, 0, 255) in self.screen_pixels(box)


class TouchDevicePage(OrbiskTest):
    def seed_devices(self):
        self.set_dword("USBAcitve", "NextInstanceCount", 2)
        self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\USBAcitve\\USB02", "/v", "USBID",
                 "/d", "\\\\?\\root#zorvik#0002", "/f")
        self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\USBAcitve\\USB02", "/v",
                 "FirmwareVersion", "/d", "1.02", "/f")
        self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\USBAcitve\\USB02", "/v", "DeviceID",
                 "/d", "ZT-SIM", "/f")
        self.set_dword("SerialAcitve", "NextInstanceCount", 1)
        self.reg("add", "HKLM\\Software\\ZorvikTouchParam\\SerialAcitve\\COM00", "/v", "COMID",
                 "/d", "3", "/f")

    def test_rows_from_both_lists_usb_first(self):
        self.seed_devices()
        self.open_panel()
        self.assertEqual(self.rows(), [["\\\\?\\root#zorvik#0002", "1.02", "ZT-SIM", "USB"],
                                       ["COM3", "", "", "COM Port"]])

    def test_scan_empties_the_list_at_once_and_refills_it_after_the_51st_tick(self):
        self.seed_devices()
        (rescans,) = self.count_events(SERIAL_RESCAN, seconds=15)
        self.open_panel()
        self.assertEqual(len(self.rows()), 2)
        self.click(1018)
        started = time.monotonic()
        controls = self.controls()
        self.assertEqual(controls[1000]["items"], 0)
        self.assertFalse(controls[1018]["enabled"])
        self.assertTrue(controls[1055]["visible"])
        # The service would rewrite its list now; the page reads it only at the end.
        self.set_dword("SerialAcitve", "NextInstanceCount", 0)
        while time.monotonic() - started < 4.0:
            self.assertEqual(self.controls()[1000]["items"], 0)
            time.sleep(0.5)
        self.wait_until(lambda: self.controls()[1018]["enabled"], 5, "the end of the scan")
        self.assertGreaterEqual(time.monotonic() - started, 4.5)
        self.assertNotIn(1055, self.controls())  # the progress bar is hidden again
        self.assertEqual(self.rows(), [["\\\\?\\root#zorvik#0002", "1.02", "ZT-SIM", "USB"]])
        self.assertEqual(rescans(), 1)


class Services(OrbiskTest):
    """The panel's signals reach the real services, whatever name each service gives its
    events."""

    def serve_usb(self):
        self.add_mouse()
        controller = self.add_controller(0)
        self.start_usblink()
        self.wait_served([controller])
        return controller

    def expect_raw_pointer(self, controller):
        """MouseMode 2 (loaded by a settings reload) moves the pointer unsmoothed."""
        self.mouse.take()
        controller.down(8192, 8192)
        controller.move(4096, 4096)
        records = self.mouse.wait_for(3)
        self.assertEqual((records[2]["x"], records[2]["y"]), (16383, 16383))
        controller.up(4096, 4096)

    def test_each_of_the_four_roles_reaches_usblink_and_serlink(self):
        controller = self.serve_usb()
        com5 = self.add_serial(5, answer="texts")
        self.set_dword(GENERAL, "ClickMode", 1)
        self.start(trace_beeps=True)
        self.wait_started()
        self.assertEqual(self.signal(), {"usb-setupchange": True, "usb-rescan": True,
                                         "serial-setupchange": True, "serial-rescan": True})
        asked = controller.queries
        self.signal("usb-rescan")
        self.wait_until(lambda: controller.queries > asked, 12, "a second device query")
        self.wait_served([controller])
        self.reg("delete", "HKLM\\Software\\ZorvikTouchParam\\SerialAcitve", "/f")
        self.signal("serial-rescan")
        self.wait_until(lambda: self.serial_list().get("NextInstanceCount") == 1, 20, "COM5 listed")
        self.assertTrue(self.port_open(com5))
        self.set_dword(GENERAL, "MouseMode", 2)
        self.signal("usb-setupchange")
        time.sleep(1.0)
        self.expect_raw_pointer(controller)
        self.set_dword(GENERAL, "TickFreq", 1200)
        self.set_dword(GENERAL, "Ticklength", 40)
        self.signal("serial-setupchange")
        time.sleep(0.5)
        self.assertEqual(self.touchctl("set", "serial", "beep")[0], 0)
        self.wait_until(lambda: (1200, 40) in self.beeps(), 10, "the reloaded tone")

    def test_with_only_usblink_running_the_setup_page_reaches_it(self):
        controller = self.serve_usb()
        self.assertEqual(self.signal(), {"usb-setupchange": True, "usb-rescan": True,
                                         "serial-setupchange": False, "serial-rescan": False})
        self.set_dword(GENERAL, "MouseMode", 2)
        self.open_panel()
        self.click(1018)  # a scan with no serial service still runs and ends
        self.wait_until(lambda: self.controls()[1018]["enabled"], 8, "the end of the scan")
        self.assertEqual(self.rows(), [[controller.path, "1.02", "ZT-SIM", "USB"]])
        self.show_tab("Setup")
        self.close_with(IDOK)  # MouseMode 2 is written back and Usblink told
        time.sleep(1.0)
        self.expect_raw_pointer(controller)

    def test_scan_shows_the_controllers_serlink_found(self):
        self.add_mouse()
        self.add_serial(5, answer="texts")
        self.start()
        self.wait_started()
        self.open_panel()
        self.assertEqual(self.rows(), [])
        self.click(1018)
        self.wait_until(lambda: self.controls()[1018]["enabled"], 10, "the end of the scan")
        self.assertEqual(self.rows(), [["COM5", "V1.2", "ZS-SIM", "COM Port"]])


class InformationPage(OrbiskTest):
    def test_release_line_link_and_notice(self):
        self.open_panel()
        self.show_tab("Information")
        texts = [c["text"] for c in self.ui_lines("controls", SHEET) if c["visible"]]
        self.assertIn("Release Version 5.0.0.0 USB Supports", texts)
        controls = self.controls()
        link, notice = controls[1027], controls[1038]
        self.assertEqual(link["text"], "www.meridax.example")
        self.assertLess(link["w"], 150)  # sized to its caption, narrower than its template
        self.assertTrue(notice["text"].startswith("Welcome to the Orbisk control panel"))
        self.assertIn("Warning:", notice["text"])
        self.assertLess(abs(len(notice["text"]) - 590), 40)
        # Hovering shows the link in its hover colour (blue) and arms its tooltip.
        self.xdotool("mousemove", str(link["x"] + link["w"] // 2), str(link["y"] + link["h"] // 2))
        time.sleep(0.5)
        self.assertIn((0, 0, 255), self.screen_pixels(link))
        self.close_with(IDOK)
        self.assertEqual(self.general("ClickMode"), None)  # the page writes nothing
