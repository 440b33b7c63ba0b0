"""The manifest each built program carries (resource 24, id 1), read with pefile: the execution
level it asks for, the same DPI awareness everywhere (per-monitor v2 from Windows 10 1703,
system awareness before) and common controls 6 exactly where there is a window.
Wine ignores most of this, so the check reads the files instead of running them."""

import os
import unittest
import xml.etree.ElementTree as ElementTree

import pefile

BUILD = os.environ.get("ZORVIK_WIN64_BUILD", os.path.join(os.path.dirname(__file__), "..", "..",
                                                          "build", "win64"))
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
SETTINGS_2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
SETTINGS_2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
COMMON_CONTROLS = "Microsoft.Windows.Common-Controls"

# program, built file, execution level, has a window
PROGRAMS = (
    ("Usblink", "usbsvc/win32/Usblink.exe", "asInvoker", False),
    ("Serlink", "serialsvc/win32/Serlink.exe", "asInvoker", False),
    ("Clicktog", "clicktool/Clicktog.exe", "asInvoker", True),
    ("Orbisk", "panel/win32/Orbisk.exe", "requireAdministrator", True),
    ("drvsetup", "drvsetup/drvsetup.exe", "requireAdministrator", False),
    ("setuphelp", "installer/setuphelp.exe", "asInvoker", False),
)


def embedded_manifests(path):
    """{resource id: bytes} of the RT_MANIFEST resources in the file."""
    image = pefile.PE(path, fast_load=True)
    image.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    found = {}
    if not hasattr(image, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for kind in image.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != pefile.RESOURCE_TYPE["RT_MANIFEST"]:
            continue
        for name in kind.directory.entries:
            for language in name.directory.entries:
                entry = language.data.struct
                found[name.id] = image.get_data(entry.OffsetToData, entry.Size)
    return found


class Manifests(unittest.TestCase):
    def manifest(self, program, built):
        path = os.path.join(BUILD, built)
        self.assertTrue(os.path.isfile(path), "%s is not built (%s)" % (program, path))
        manifests = embedded_manifests(path)
        self.assertEqual(list(manifests), [1], "%s: manifest resources %s, want id 1 only"
                         % (program, sorted(manifests)))
        return ElementTree.fromstring(manifests[1])

    def test_each_program_asks_for_its_level_dpi_awareness_and_controls(self):
        for program, built, level, window in PROGRAMS:
            with self.subTest(program=program):
                root = self.manifest(program, built)
                levels = [e.get("level") for e in root.iter(ASM_V3 + "requestedExecutionLevel")]
                self.assertEqual(levels, [level])
                settings = root.findall("%sapplication/%swindowsSettings" % (ASM_V3, ASM_V3))
                self.assertEqual(len(settings), 1)
                aware = [e.text.strip() for e in settings[0].iter(SETTINGS_2005 + "dpiAware")]
                awareness = [[mode.strip().lower() for mode in e.text.split(",")]
                             for e in settings[0].iter(SETTINGS_2016 + "dpiAwareness")]
                self.assertEqual(aware, ["true"])
                self.assertEqual(awareness, [["permonitorv2", "system"]])
                controls = [e for e in root.iter(ASM_V1 + "assemblyIdentity")
                            if e.get("name") == COMMON_CONTROLS]
                self.assertEqual([e.get("version") for e in controls],
                                 ["6.0.0.0"] if window else [])


if __name__ == "__main__":
    unittest.main()
