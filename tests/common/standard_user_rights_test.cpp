// What the services, the list writers and the panel's pages do to the registry, answered as
// Windows answers the signed-in user's standard token with the rights setup grants: nothing may be
// refused (a refused read silently gives defaults) and no handle may ask for a write it never does.
#include <gtest/gtest.h>

#include <functional>

#include "common/device_lists.h"
#include "common/memory_settings_store.h"
#include "common/settings_loader.h"
#include "panel/calibration_model.h"
#include "panel/device_list_model.h"
#include "panel/display_mapping_model.h"
#include "panel/multipoint_page_model.h"
#include "panel/popup_page_model.h"
#include "panel/region_control_model.h"
#include "panel/setup_page_model.h"
#include "panel/touch_view_model.h"
#include "tests/common/settings_seed.h"
#include "tests/common/standard_user_store.h"

namespace zorvik::testing {
namespace {

using namespace zorvik::panel;  // NOLINT: the pages under test

class QuietSignals final : public CorrectionSignals {
 public:
  void SetupChanged() override {}
  void Pause(int) override {}
};

struct Operation {
  const char* what;
  std::function<void(SettingsStore&)> run;
};

void PrintTo(const Operation& operation, std::ostream* out) {
  *out << operation.what;
}

const Operation kOperations[] = {
    {"Usblink loads its settings and a controller's",
     [](SettingsStore& store) {
       const SettingsLoader loader(store, ServiceKind::kUsb, {1024, 768});
       DeviceSettings device;
       loader.LoadDevice(loader.LoadService(), "\\\\?\\usb#one", device);
     }},
    {"Serlink loads its settings and a port's",
     [](SettingsStore& store) {
       const SettingsLoader loader(store, ServiceKind::kSerial, {1024, 768});
       DeviceSettings device;
       loader.LoadDevice(loader.LoadService(), "COM3", device);
     }},
    {"Usblink rewrites USBAcitve",
     [](SettingsStore& store) {
       DeleteDeviceList(store, true, schema::kUsbActive);
       WriteDeviceCount(store, schema::kUsbActiveKey, 1);
       WriteUsbDeviceText(store, 1, schema::kUsbId, "\\\\?\\usb#one");
     }},
    {"Serlink rewrites SerialAcitve",
     [](SettingsStore& store) {
       DeleteDeviceList(store, true, schema::kSerialActive);
       const SerialListEntry entries[] = {{3, "V1.2", "ID7"}};
       WriteSerialDeviceList(store, entries);
     }},
    {"Setup page",
     [](SettingsStore& store) {
       const SetupValues read = ReadSetupValues(store);
       EXPECT_TRUE(WriteSetupValues(store, {read.screen_rotate, 0, 1, 3, 4, 5, 500}));
     }},
    {"Multipoint Touch page",
     [](SettingsStore& store) {
       EXPECT_TRUE(WriteMultiPointValues(store, ReadMultiPointValues(store)));
     }},
    {"Popup Control page",
     [](SettingsStore& store) {
       EXPECT_TRUE(WritePopupValues(store, ReadPopupValues(store)));
       TogglePopupState(store);
       PopdeckPath(store);
     }},
    {"Display page and the active monitor",
     [](SettingsStore& store) {
       ReadMultiMonValues(store);
       ReadMappedDeviceRows(store);
       WriteActiveMonitor(store, LookUpActiveMonitor(store));
       const Monitor monitors[] = {{"\\\\.\\DISPLAY1", {0, 0, 1024, 768}}};
       ApplyDisplayPage(store, {1, 0, kNoSelection, {1024, 768}, {1024, 768}, monitors, {}});
     }},
    {"Option/Tools corrections and calibration",
     [](SettingsStore& store) {
       QuietSignals signals;
       RunCorrectionStep(store, signals, CorrectionStep::kUp);
       RunAutoCalibration(store, signals);
       ClicktogPath(store);
       EXPECT_TRUE(WriteCalibration(store, CalibrationMonitor(store), CalibrationMatrix{}));
     }},
    {"Touch Device page and the live views",
     [](SettingsStore& store) {
       ReadDeviceRows(store, [](const DeviceRow&) {});
       EXPECT_TRUE(ReadScreenRotation(store).has_value());
     }},
};

class StandardUserRightsTest : public ::testing::TestWithParam<Operation> {
 protected:
  // Everything an installed, configured machine holds, written as an administrator would.
  void SetUp() override {
    SettingsSeed seed(admin_);
    seed.Dword("General", "ScreenRotateFlag", 0);
    seed.Dword("MPControl", "MPXLimitStart", 10);
    seed.Dword("MonitorMaps", "MultiMonSupport", 1);
    seed.Dword("MonitorMaps", "ActiveMonitor", 0);
    seed.Display(0, 0, 0, 1024, 768, {"\\\\?\\usb#one", "COM3"});
    seed.Text("USBAcitve\\USB01", "UsbId", "\\\\?\\usb#old");
    seed.Text("SerialAcitve\\COM00", "ComId", "5");
    seed.Text("Program", "TargetDir", "C:\\Zorvik");
    seed.Dword("Diagnostics", "CaptureSeconds", 0);
  }

  MemorySettingsStore admin_;
};

TEST_P(StandardUserRightsTest, NothingIsRefusedAndNoWriteRightGoesUnused) {
  StandardUserStore user(admin_);
  GetParam().run(user);
  EXPECT_TRUE(user.refused.empty())
      << GetParam().what << ": " << ::testing::PrintToString(user.refused);
  EXPECT_TRUE(user.over_asked.empty())
      << GetParam().what << ": " << ::testing::PrintToString(user.over_asked);
}

INSTANTIATE_TEST_SUITE_P(EveryReaderAndWriter, StandardUserRightsTest,
                         ::testing::ValuesIn(kOperations));

// The rule the table relies on: what the programs asked before (full access) is refused even
// below the settings key, and nothing outside it may be written.
TEST(StandardUserStore, RefusesFullAccessAndWritesOutsideTheSettingsKey) {
  MemorySettingsStore admin;
  SettingsSeed(admin).Key("General");
  StandardUserStore user(admin);
  constexpr std::uint32_t kAllAccess = 0xF003F;
  StoreKey key = kNoKey;
  EXPECT_EQ(user.OpenKey(user.LocalMachine(), schema::kGeneralKey, kAllAccess, &key),
            store_error::kAccessDenied);
  EXPECT_EQ(user.CreateKey(user.LocalMachine(), "Software\\Other", key_rights::kRead, &key),
            store_error::kAccessDenied);
  EXPECT_EQ(user.DeleteKey(user.LocalMachine(), "Software"), store_error::kAccessDenied);
  EXPECT_EQ(user.OpenKey(user.LocalMachine(), "Software", key_rights::kRead, &key),
            store_error::kSuccess);
  user.CloseKey(key);
  EXPECT_EQ(user.refused.size(), 3u);
}

}  // namespace
}  // namespace zorvik::testing
