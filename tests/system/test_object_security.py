"""Who may open the named objects that one program creates for another, and where. On Windows the
services run with the signed-in user's standard token while the panel and the tools it starts may
run elevated, so each such object must let every user in (a null DACL), whichever token made it.
Wine enforces none of it, but keeps each object's security: objsecurity reads it back. A standard
token may not create a global section either; an object of another kind squatting on the global
name refuses that creation here as the missing privilege does there."""

import json

from usblink_fixture import CLICK_ACK, UsblinkTest
from test_clicktog import ClicktogTest

OBJSECURITY = "testkit/objsecurity/objsecurity.exe"
OPEN_TO_ALL = "D:NO_ACCESS_CONTROL"

# What the panel, Clicktog, setup, touchctl and peer programs open of Usblink's.
USBLINK_OBJECTS = [
    ("event", "Global\\MERIDAX_TOUCH_EVENT_3F98A_SETUPCHANGE"),
    ("event", "MERIDAX_TOUCH_EVENT_3F98A_RESCANDEVICE"),
    ("event", "Global\\MERIDAX_TOUCH_EVENT_3F98A_EXITPROC"),
    ("event", "Global\\MERIDAX_TOUCH_EVENT_3F98A_CLICKCHANGE"),
    ("event", "Global\\MERIDAX_MTOUCHPOINT_IPC_INTERFACE_0401"),
    ("event", "Global\\MERIDAX_MTOUCHPOINT_IPC_ORG_INTERFACE_1A34"),
    ("event", "Global\\MERIDAX_MTOUCHPOINT_IPC_INTERFACE_0401_ZORVIK"),
    ("event", "Global\\MERIDAX_MTOUCHPOINT_IPC_ORG_INTERFACE_1A34_ZORVIK"),
    ("event", "Global\\MERIDAX_MTOUCHPOINT_POPUP_EVENT"),
    ("section", "Global\\MERIDAX_MTSharedData_10A0_A10AF_3124_0120"),
    ("section", "Global\\MERIDAX_MTSharedData_ORG_10A0_A10AF_3124_1112"),
]


def dacl(test, kind, name):
    code, out = test.world.run(OBJSECURITY, kind, name)
    return out.strip() if code == 0 else None


class UsblinkObjects(UsblinkTest):
    def test_every_object_peers_open_lets_every_user_in(self):
        self.add_mouse()
        controller = self.add_controller(0)
        self.start()
        self.wait_served([controller])
        for kind, name in USBLINK_OBJECTS:
            with self.subTest(name=name):
                self.assertEqual(dacl(self, kind, name), OPEN_TO_ALL)


    def test_sections_refused_under_their_global_names_are_found_in_the_session(self):
        for kind, name in USBLINK_OBJECTS:
            if kind == "section":
                self.start_waiter("wait-event", name, "60000")
        self.add_mouse()
        controller = self.add_controller(0)
        self.start()
        self.wait_served([controller])
        controller.fingers([(8192, 8192, 4)])

        def sections():
            code, out = self.touchctl("points")
            return [json.loads(line) for line in out.splitlines() if line.startswith("{")] \
                if code == 0 else None
        self.wait_until(lambda: sections() is not None, 10, "touchctl to find both sections")
        self.assertEqual(len(sections()), 2)


class ClicktogObjects(ClicktogTest):
    def test_the_acknowledgement_event_lets_the_services_in(self):
        self.services_events(20)
        self.start_tool()
        self.window()
        self.wait_until(lambda: dacl(self, "event", CLICK_ACK) is not None, 10,
                        "the acknowledgement event")
        self.assertEqual(dacl(self, "event", CLICK_ACK), OPEN_TO_ALL)
