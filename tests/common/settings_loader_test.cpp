// Loading the settings store into service and controller settings, including bad registry data.
#include <gtest/gtest.h>

#include <string>

#include "common/settings_loader.h"
#include "tests/common/settings_seed.h"
#include "tests/common/store_under_test.h"

namespace zorvik::testing {
namespace {

// The MPControl defaults, stated as numbers in table order (MPXLimitStart ... MPPopupActiveTime):
// without the key, and with the key but without the value.
constexpr MpControlSettings kKeyAbsentDefaults{0, 1000, 0,   1000, 1,  1, 1, 1,
                                               0, 0,    100, 0,    15, 5, 5, 5};
constexpr MpControlSettings kValueAbsentDefaults{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 100, 0, 15, 5, 5, 5};

constexpr ScreenSize kScreen{1024, 768};
constexpr char kUsbPath[] =
    "\\\\?\\usb#vid_1234&pid_0001#6&1#{e6ef7dcd-1795-4a08-9fbf-aa78423c26f0}";
constexpr char kOtherPath[] =
    "\\\\?\\usb#vid_1234&pid_0001#6&2#{e6ef7dcd-1795-4a08-9fbf-aa78423c26f0}";

class SettingsLoaderTest : public StoreTest {
 protected:
  SettingsLoader usb() { return SettingsLoader(store(), ServiceKind::kUsb, kScreen); }
  SettingsLoader serial() { return SettingsLoader(store(), ServiceKind::kSerial, kScreen); }

  DeviceSettings LoadDevice(const SettingsLoader& loader, std::string_view identity,
                            DeviceSettings device = NewDeviceSettings(kScreen)) {
    loader.LoadDevice(loader.LoadService(), identity, device);
    return device;
  }

  SettingsSeed seed{store()};
};

TEST_F(SettingsLoaderTest, MachineWithoutProductKeyGetsEveryDefault) {
  const ServiceSettings loaded = usb().LoadService();
  EXPECT_EQ(loaded.MouseMode, 0);
  EXPECT_EQ(loaded.ClickMode, 1);
  EXPECT_EQ(loaded.TickFreq, 1711);
  EXPECT_EQ(loaded.Ticklength, 28);
  EXPECT_EQ(loaded.ClickArea, 500);
  EXPECT_EQ(loaded.ClickRightLeft, 0);
  EXPECT_EQ(loaded.ScreenRotateFlag, 0);
  EXPECT_EQ(loaded.mp, kKeyAbsentDefaults);
  EXPECT_EQ(loaded.mp.MPXLimitEnd, 1000);
  EXPECT_EQ(loaded.mp.EnableMouseAction, 1);
  EXPECT_EQ(loaded.MultiMonSupport, 0);
  EXPECT_EQ(loaded.VirtualWidth, 1024);
  EXPECT_EQ(loaded.VirtualHeight, 768);

  DeviceSettings before = NewDeviceSettings(kScreen);
  before.mapping.matrix = {3, 4, 5, 6, 7, 8, 9};  // a load that cannot open General keeps it
  const DeviceSettings device = LoadDevice(usb(), kUsbPath, before);
  EXPECT_EQ(device.display_index, 0);
  EXPECT_EQ(device.monitor, (MonitorRect{0, 0, 1024, 768}));
  EXPECT_EQ(device.mapping.XOffset, 0);
  EXPECT_EQ(device.mapping.YOffset, 0);
  EXPECT_EQ(device.mapping.XZoom, 10000);
  EXPECT_EQ(device.mapping.YZoom, 10000);
  EXPECT_EQ(device.mapping.matrix, (CalibrationMatrix{3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(device.ClickMode, 1);
  EXPECT_EQ(device.mp, kKeyAbsentDefaults);
}

TEST_F(SettingsLoaderTest, EmptyMpControlKeyDiffersFromAbsentKey) {
  seed.Key("MPControl");
  const ServiceSettings loaded = usb().LoadService();
  EXPECT_EQ(loaded.mp, kValueAbsentDefaults);
  EXPECT_EQ(loaded.mp.MPXLimitEnd, 0);
  EXPECT_EQ(loaded.mp.MPYLimitEnd, 0);
  EXPECT_EQ(loaded.mp.EnableMouseAction, 0);
  EXPECT_EQ(loaded.mp.MPTouchVelocity, 100);
  EXPECT_EQ(loaded.mp.MPAreaLimitOption, 15);
  EXPECT_EQ(loaded.mp.MPPopupActiveTime, 5);
}

TEST_F(SettingsLoaderTest, StoredValuesReachServiceAndDevice) {
  seed.Dword("General", "MouseMode", 2);
  seed.Dword("General", "ClickMode", 0);
  seed.Dword("General", "TickFreq", 440);
  seed.Dword("General", "Ticklength", 100);
  seed.Dword("General", "ClickArea", 900);
  seed.Dword("General", "ClickRightLeft", 1);
  seed.Dword("General", "ScreenRotateFlag", 270);
  seed.Dword("MPControl", "MPXLimitStart", 11);
  seed.Dword("MPControl", "MPPopupActiveTime", 9);
  seed.Dword("MPControl", "MPPopupProcessState", 1);
  seed.Dword("MonitorMaps", "MultiMonSupport", 1);
  seed.Dword("MonitorMaps", "MultiMonMode", 3);
  seed.Dword("MonitorMaps", "SM_CXVIRTUALSCREEN", 3840);
  seed.Dword("MonitorMaps", "SM_CYVIRTUALSCREEN", 1080);

  const DeviceSettings device = LoadDevice(usb(), kUsbPath);
  EXPECT_EQ(device.MouseMode, 2);
  EXPECT_EQ(device.ClickMode, 0);
  EXPECT_EQ(device.ClickArea, 900);
  EXPECT_EQ(device.ClickRightLeft, 1);
  EXPECT_EQ(device.ScreenRotateFlag, 270);
  EXPECT_EQ(device.mp.MPXLimitStart, 11);
  EXPECT_EQ(device.mp.MPXLimitEnd, 0);
  EXPECT_EQ(device.mp.MPPopupActiveTime, 9);
  EXPECT_EQ(device.MultiMonSupport, 1);
  EXPECT_EQ(device.MultiMonMode, 3);
  EXPECT_EQ(device.VirtualWidth, 3840);
  EXPECT_EQ(device.VirtualHeight, 1080);
  const ServiceSettings loaded = usb().LoadService();
  EXPECT_EQ(loaded.TickFreq, 440);
  EXPECT_EQ(loaded.Ticklength, 100);
}

TEST_F(SettingsLoaderTest, MalformedNumbersFallBackToTheirDefaults) {
  seed.Text("General", "MouseMode", "2");                           // text instead of a DWORD
  seed.Raw("General", "TickFreq", 3, std::string("\x10\x02", 2));   // two bytes of binary
  seed.Raw("General", "ClickArea", 4, std::string("\x10\x02", 2));  // a DWORD of two bytes
  seed.Raw("General", "Ticklength", 4, std::string("\x01\0\0\0\0\0\0\0", 8));
  seed.Dword("General", "ScreenRotateFlag", 0xFFFFFF4C);  // negative numbers stay
  seed.Text("MonitorMaps", "SM_CXVIRTUALSCREEN", std::string(300, '9'));
  const ServiceSettings loaded = usb().LoadService();
  EXPECT_EQ(loaded.MouseMode, 0);
  EXPECT_EQ(loaded.TickFreq, 1711);
  EXPECT_EQ(loaded.ClickArea, 500);
  EXPECT_EQ(loaded.Ticklength, 28);
  EXPECT_EQ(loaded.ScreenRotateFlag, -180);
  EXPECT_EQ(loaded.VirtualWidth, 1024);
}

TEST_F(SettingsLoaderTest, PerMonitorTextsFollowTheAtoiRule) {
  seed.Text("General", "MON00An", "2abc");
  seed.Text("General", "MON00Bn", "");
  seed.Text("General", "MON00En", "");
  seed.Text("General", "MON00Cn", "  -15");
  seed.Text("General", "MON00Dn", "99999999999");
  seed.Raw("General", "MON00Fn", 4, std::string("\x07\0\0\0", 4));  // a DWORD, not text
  seed.Text("General", "MON00Divider", std::string(400, '3'));      // longer than 260 bytes
  seed.Raw("General", "MON00X", 1, "-42");                          // no terminator at all
  seed.Text("General", "MON00Y", "-7");
  seed.Text("General", "MON00XZOOMA", "9500");
  const MonitorMapping mapping = LoadDevice(usb(), kUsbPath).mapping;
  EXPECT_EQ(mapping.matrix.An, 2);
  EXPECT_EQ(mapping.matrix.Bn, 0);
  EXPECT_EQ(mapping.matrix.En, 1);  // empty text reads as the default
  EXPECT_EQ(mapping.matrix.Cn, -15);
  EXPECT_EQ(mapping.matrix.Dn, 2147483647);
  EXPECT_EQ(mapping.matrix.Fn, 0);
  EXPECT_EQ(mapping.matrix.Divider, 1);
  EXPECT_EQ(mapping.XOffset, -42);
  EXPECT_EQ(mapping.YOffset, -7);
  EXPECT_EQ(mapping.XZoom, 9500);
  EXPECT_EQ(mapping.YZoom, 10000);
}

TEST_F(SettingsLoaderTest, DisplayLookupRules) {
  seed.Dword("MonitorMaps", "MonitorCount", 3);
  seed.Display(0, 0, 0, 1920, 1080, {kOtherPath});
  seed.Display(1, 1920, 0, 1280, 1024, {"COM3", kUsbPath});
  seed.Display(2, 3200, 0, 800, 600, {kUsbPath});
  seed.Text("General", "MON01An", "4");
  seed.Text("General", "MON00An", "6");
  const SettingsLoader loader = usb();
  EXPECT_EQ(loader.FindDisplayIndex(kUsbPath), 1);  // listed twice: the lower index wins
  EXPECT_EQ(loader.FindDisplayIndex("COM3"), 1);
  EXPECT_EQ(loader.FindDisplayIndex("com3"), -1);  // byte for byte, case-sensitive
  EXPECT_EQ(loader.FindDisplayIndex("COM"), -1);
  EXPECT_EQ(loader.FindDisplayIndex("\\\\?\\usb#unlisted"), -1);

  const DeviceSettings listed = LoadDevice(loader, kUsbPath);
  EXPECT_EQ(listed.display_index, 1);
  EXPECT_EQ(listed.monitor, (MonitorRect{1920, 0, 3200, 1024}));
  EXPECT_EQ(listed.mapping.matrix.An, 4);

  const DeviceSettings unlisted = LoadDevice(loader, "\\\\?\\usb#unlisted");
  EXPECT_EQ(unlisted.display_index, 0);
  EXPECT_EQ(unlisted.monitor, (MonitorRect{0, 0, 1920, 1080}));
  EXPECT_EQ(unlisted.mapping.matrix.An, 6);
}

TEST_F(SettingsLoaderTest, LookupStopsAtTheFirstMissingDisplay) {
  seed.Dword("MonitorMaps", "MonitorCount", 5);
  seed.Display(0, 0, 0, 1920, 1080, {});
  seed.Display(2, 0, 0, 800, 600, {kUsbPath});  // Display01 is missing
  EXPECT_EQ(usb().FindDisplayIndex(kUsbPath), -1);
}

TEST_F(SettingsLoaderTest, HugeCountsStayBoundedByTheTwoDigitNames) {
  seed.Dword("MonitorMaps", "MonitorCount", 0xFFFFFFFF);
  seed.Display(0, 0, 0, 640, 480, {kUsbPath});
  EXPECT_EQ(usb().FindDisplayIndex(kUsbPath), -1);  // a count of −1 lists no display

  seed.Dword("MonitorMaps", "MonitorCount", 0x7FFFFFFF);
  seed.Dword("MonitorMaps\\Display00", "AttachedDeviceNo", 0x7FFFFFFF);
  EXPECT_EQ(usb().FindDisplayIndex("\\\\?\\usb#absent"), -1);
  seed.Dword("MonitorMaps\\Display00", "AttachedDeviceNo", 0xFFFFFFFF);
  EXPECT_EQ(usb().FindDisplayIndex(kUsbPath), -1);
}

TEST_F(SettingsLoaderTest, MonitorRectangleDefaults) {
  seed.Dword("MonitorMaps\\Display00", "X", 100);
  seed.Dword("MonitorMaps\\Display00", "CY", 500);
  const SettingsLoader loader = usb();
  EXPECT_EQ(loader.ReadMonitorRect(0), (MonitorRect{100, 0, 1124, 500}));
  EXPECT_EQ(loader.ReadMonitorRect(1), (MonitorRect{0, 0, 1024, 768}));
  EXPECT_EQ(loader.ReadMonitorRect(-1), (MonitorRect{0, 0, 1024, 768}));
}

TEST_F(SettingsLoaderTest, SerialServiceReadsItsOwnNamesAndSkipsMpControl) {
  seed.Dword("MPControl", "MPXLimitStart", 77);
  seed.Text("General", "MON01XZOOM", "1200");
  seed.Text("General", "MON01XZOOMA", "5000");
  seed.Text("General", "MON01An", "3");
  seed.Dword("MonitorMaps", "MonitorCount", 2);
  seed.Display(0, 0, 0, 1920, 1080, {});
  seed.Display(1, 1920, 0, 800, 600, {"COM3"});

  DeviceSettings on_com3 = NewDeviceSettings(kScreen);
  on_com3.mp.MPXLimitStart = 5;
  on_com3 = LoadDevice(serial(), "COM3", on_com3);
  EXPECT_EQ(on_com3.display_index, 1);
  EXPECT_EQ(on_com3.monitor, (MonitorRect{1920, 0, 2720, 600}));
  EXPECT_EQ(on_com3.mapping.XZoom, 1200);
  EXPECT_EQ(on_com3.mapping.YZoom, 1000);
  EXPECT_EQ(on_com3.mapping.matrix.An, 3);
  EXPECT_EQ(on_com3.mp.MPXLimitStart, 5);  // MPControl is the USB service's alone

  // Not found: display number 0, but the rectangle of the lookup result −1, the primary screen.
  const DeviceSettings on_com7 = LoadDevice(serial(), "COM7");
  EXPECT_EQ(on_com7.display_index, 0);
  EXPECT_EQ(on_com7.monitor, (MonitorRect{0, 0, 1024, 768}));
  EXPECT_EQ(on_com7.mapping.XZoom, 1000);
}

TEST_F(SettingsLoaderTest, DeviceLoadReopensTheAcknowledgementBeforeReadingTheMapping) {
  seed.Text("General", "MON00An", "8");
  const SettingsLoader loader = usb();
  DeviceSettings device = NewDeviceSettings(kScreen);
  int calls = 0;
  std::int32_t an_at_reopen = 0;
  loader.LoadDevice(loader.LoadService(), kUsbPath, device, [&] {
    ++calls;
    an_at_reopen = device.mapping.matrix.An;
  });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(an_at_reopen, 1);
  EXPECT_EQ(device.mapping.matrix.An, 8);
}

}  // namespace
}  // namespace zorvik::testing
