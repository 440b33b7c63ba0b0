"""Test world for whole-program tests of Serlink under Wine: the Usblink world (clean registry,
mouse driver stand-in, touchctl) with simulated serial controllers on pseudo-terminal COM ports
and the modem-line shim preloaded into every Wine process of the test."""

import os
import sys
import time

from usblink_fixture import BUILD, SOURCE, UsblinkTest

sys.path.insert(0, os.path.join(SOURCE, "testkit", "serialsim"))

import serialsim  # noqa: E402

SERLINK = "serialsvc/win32/Serlink.exe"
QUERIES_PER_BRING_UP = 4  # two rounds, each writing the query twice


class SerlinkTest(UsblinkTest):
    """Each test starts from an empty product key, no COM ports and no Serlink."""

    def setUp(self):
        super().setUp()
        self.world.env = serialsim.preload_env(self.world.env, serialsim.shim_path(BUILD))
        serialsim.remove_com_links(self.world.prefix)
        self.serial_controllers = []

    service = "serial"
    program = "Serlink"
    executable = SERLINK

    def tearDown(self):
        super().tearDown()
        for controller in self.serial_controllers:
            controller.close()

    def add_serial(self, number, answer="echo"):
        controller = serialsim.SerialController(self.world.prefix, number, answer=answer)
        self.serial_controllers.append(controller)
        return controller

    def port_open(self, controller):
        """Whether a Windows program of the prefix has the controller's COM port open."""
        return self.world.server_holds(controller.port.tty)

    def serial_list(self):
        _, serial = self.lists()
        return serial

    def rescan_and_wait(self, expected_count, timeout=20):
        """Asks for a rescan and waits until the list it writes names `expected_count`
        controllers (the old list is removed first, so that it cannot be mistaken for it)."""
        self.reg("delete", "HKLM\\Software\\ZorvikTouchParam\\SerialAcitve", "/f")
        self.assertEqual(self.touchctl("set", "serial", "rescan")[0], 0)
        self.wait_until(lambda: self.serial_list().get("NextInstanceCount") == expected_count,
                        timeout, "the serial list to name %d controllers" % expected_count)
        time.sleep(0.5)  # the settings load follows the rebuild by about 0.1 s

    def wait_started(self):
        """Until Serlink's events exist and its first rebuild (the reopen from the list, 1.5 s
        after the start) is over: a rescan asked for during that rebuild would be absorbed."""
        self.wait_until(lambda: self.touchctl("set", "serial", "setupchange")[0] == 0, 15,
                        "Serlink to create its events")
        time.sleep(2.5)
