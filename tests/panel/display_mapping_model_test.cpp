// The Multi Monitor Display page's model: display rectangles of every mode for side-by-side,
// stacked, different-size and single-monitor layouts; the controls a stored mode stands for; the
// active monitor lookup; the device list's display column; and apply's rebuild of MonitorMaps,
// in its order, as the services then read it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/settings_access.h"
#include "common/settings_loader.h"
#include "panel/display_mapping_model.h"
#include "tests/common/recording_store.h"
#include "tests/common/settings_seed.h"
#include "tests/common/store_under_test.h"

namespace zorvik::testing {
namespace {

using namespace panel;

constexpr ScreenSize kPrimary{1024, 768};

Monitor At(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
  return {"\\\\.\\DISPLAY", {left, top, left + width, top + height}};
}

DisplayRects Rects(std::int32_t mode, std::initializer_list<Monitor> monitors) {
  const std::vector<Monitor> list(monitors);
  const auto rects = SupportedDisplayRects(mode, list, kPrimary);
  EXPECT_TRUE(rects.has_value()) << "mode " << mode;
  return rects.value_or(DisplayRects{});
}

TEST(DisplayTexts, WorkingAreaIsLeftRightTopBottomAndNamesAreNumbered) {
  EXPECT_EQ(WorkingAreaText({-1280, -200, 0, 824}), "(-1280,0,-200,824)");
  EXPECT_EQ(WorkingAreaText({0, 0, 1920, 1080}), "(0,1920,0,1080)");
  EXPECT_EQ(DisplayName(1), "DISPLAY 1");
  EXPECT_EQ(ActiveMonitorItem(0), "Display 00");
  EXPECT_EQ(SelectMonitorsItem(1), "Display01");
}

TEST(DisplayRectangles, SideBySideMonitorsOfDifferentSizes) {
  const Monitor left = At(0, 0, 1920, 1080), right = At(1920, 0, 1280, 1024);
  EXPECT_EQ(Rects(kCloneMode, {left, right}),
            (DisplayRects{{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}}}));
  EXPECT_EQ(Rects(kIndependentMode, {left, right}),
            (DisplayRects{{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}}}));
  // Stretch modes split monitor 0 only, whatever monitor 1 is.
  EXPECT_EQ(Rects(kStretchHorizontalMode, {left, right}),
            (DisplayRects{{{0, 0, 960, 1080}, {960, 0, 960, 1080}}}));
  EXPECT_EQ(Rects(kStretchVerticalMode, {left, right}),
            (DisplayRects{{{0, 0, 1920, 540}, {0, 540, 1920, 540}}}));
}

TEST(DisplayRectangles, MonitorZeroAwayFromTheOriginAndStacked) {
  // The system may enumerate a secondary monitor first; negative places are kept as they are.
  const Monitor upper = At(-300, -1024, 1280, 1024), lower = At(0, 0, 1024, 768);
  EXPECT_EQ(Rects(kIndependentMode, {upper, lower}),
            (DisplayRects{{{-300, -1024, 1280, 1024}, {0, 0, 1024, 768}}}));
  EXPECT_EQ(Rects(kStretchHorizontalMode, {upper, lower}),
            (DisplayRects{{{-300, -1024, 640, 1024}, {340, -1024, 640, 1024}}}));
  EXPECT_EQ(Rects(kStretchVerticalMode, {upper, lower}),
            (DisplayRects{{{-300, -1024, 1280, 512}, {-300, -512, 1280, 512}}}));
}

TEST(DisplayRectangles, WideMonitorSplitInHalvesWithOddSizesRoundedDown) {
  EXPECT_EQ(Rects(kStretchHorizontalMode, {At(0, 0, 2560, 1024)}),
            (DisplayRects{{{0, 0, 1280, 1024}, {1280, 0, 1280, 1024}}}));
  EXPECT_EQ(Rects(kStretchHorizontalMode, {At(0, 0, 1025, 769)})[1],
            (DisplayRect{512, 0, 512, 769}));
  EXPECT_EQ(Rects(kStretchVerticalMode, {At(0, 0, 1025, 769)})[1],
            (DisplayRect{0, 384, 1025, 384}));
}

TEST(DisplayRectangles, OneMonitorNoMonitorAndUnknownModes) {
  const Monitor only = At(0, 0, 1280, 1024);
  EXPECT_EQ(Rects(kIndependentMode, {only}),
            (DisplayRects{{{0, 0, 1280, 1024}, {0, 0, 1280, 1024}}}));
  // No enumeration at all: the primary screen stands in for monitor 0.
  EXPECT_EQ(Rects(kIndependentMode, {}), (DisplayRects{{{0, 0, 1024, 768}, {0, 0, 1024, 768}}}));
  const std::vector<Monitor> two{only, At(1280, 0, 800, 600)};
  EXPECT_FALSE(SupportedDisplayRects(4, two, kPrimary));
  EXPECT_FALSE(SupportedDisplayRects(-1, two, kPrimary));
  EXPECT_EQ(SingleScreenRects({1920, 1200}),
            (DisplayRects{{{0, 0, 1920, 1200}, {0, 0, 1920, 1200}}}));
}

TEST(DisplayModeControls, StoredModesAndTheStretchDirection) {
  const ModeView clone = ModeViewFor(1, kCloneMode);
  EXPECT_TRUE(clone.radios_enabled);
  EXPECT_FALSE(clone.direction_enabled);
  EXPECT_EQ(clone.checked_radio, IDC_CLONE_MODE);
  EXPECT_EQ(ModeViewFor(0, kIndependentMode).checked_radio, IDC_INDEPENDENT_MODE);
  EXPECT_FALSE(ModeViewFor(0, kIndependentMode).radios_enabled);
  // A stretch mode enables the direction even with support off.
  const ModeView vertical = ModeViewFor(0, kStretchVerticalMode);
  EXPECT_FALSE(vertical.radios_enabled);
  EXPECT_TRUE(vertical.direction_enabled);
  EXPECT_EQ(vertical.checked_radio, IDC_STRETCH_MODE);
  EXPECT_EQ(vertical.direction, kVertical);
  EXPECT_EQ(ModeViewFor(1, kStretchHorizontalMode).direction, kHorizontial);
  // A mode no radio stands for checks none and leaves the direction as support says.
  const ModeView odd = ModeViewFor(1, 9);
  EXPECT_EQ(odd.checked_radio, 0);
  EXPECT_TRUE(odd.direction_enabled);
  EXPECT_EQ(odd.direction, kNoSelection);

  EXPECT_EQ(ReconcileMode(kStretchHorizontalMode, kVertical), kStretchVerticalMode);
  EXPECT_EQ(ReconcileMode(kStretchVerticalMode, kHorizontial), kStretchHorizontalMode);
  EXPECT_EQ(ReconcileMode(kStretchVerticalMode, kNoSelection), kStretchVerticalMode);
  EXPECT_EQ(ReconcileMode(kIndependentMode, kVertical), kIndependentMode);
}

TEST(DisplayMappingDialog, OnlyAnItemsResultNamesADisplay) {
  EXPECT_EQ(MappingChoiceFor(500).kind, MappingChoice::Kind::kDisplay);
  EXPECT_EQ(MappingChoiceFor(501).display, 1);
  EXPECT_EQ(MappingChoiceFor(-1).kind, MappingChoice::Kind::kDialogFailed);
  for (const std::intptr_t result : {0, 1, 2, 3, 499, 502}) {
    EXPECT_EQ(MappingChoiceFor(result).kind, MappingChoice::Kind::kUnchanged) << result;
  }
}

class DisplayPageModelTest : public StoreTest {
 protected:
  SettingsSeed seed{store()};

  std::optional<std::uint32_t> Dword(const std::string& key, const char* name) {
    const ScopedKey opened =
        OpenKey(store(), hklm(), std::string(schema::kMonitorMapsKey) + key, key_rights::kRead);
    return opened ? ReadDword(store(), opened.get(), name) : std::nullopt;
  }
  std::string Text(const std::string& key, const std::string& name) {
    const ScopedKey opened =
        OpenKey(store(), hklm(), std::string(schema::kMonitorMapsKey) + key, key_rights::kRead);
    const auto text = opened ? ReadText(store(), opened.get(), name) : std::nullopt;
    return text ? std::string(text->view()) : "<none>";
  }
  DisplayRect Stored(int display) {
    const std::string key = schema::NumberedName("\\Display%02d", display);
    const auto get = [&](const char* name) {
      return static_cast<std::int32_t>(Dword(key, name).value_or(0xDEAD));
    };
    return {get("X"), get("Y"), get("CX"), get("CY")};
  }
  void SeedDevices() {
    seed.Dword("USBAcitve", "NextInstanceCount", 2);
    seed.Text("USBAcitve\\USB01", "USBID", "\\\\?\\usb#one");
    seed.Text("USBAcitve\\USB02", "USBID", "\\\\?\\usb#two");
    seed.Dword("SerialAcitve", "NextInstanceCount", 1);
    seed.Text("SerialAcitve\\COM00", "COMID", "3");
  }

  std::vector<Monitor> monitors_{At(0, 0, 2560, 1024), At(2560, 0, 1280, 1024)};
  DisplayPageState State(std::int32_t support, std::int32_t mode, int direction,
                         std::span<const DeviceMapping> devices) {
    return {support, mode, direction, {3840, 1024}, {2560, 1024}, monitors_, devices};
  }
};

TEST_F(DisplayPageModelTest, ActiveMonitorLookupCreatesWhatIsMissing) {
  EXPECT_EQ(LookUpActiveMonitor(store()), -1);  // no key: created with 0
  EXPECT_EQ(Dword("", "ActiveMonitor"), 0u);
  EXPECT_EQ(LookUpActiveMonitor(store()), 0);
  seed.Raw("MonitorMaps", "ActiveMonitor", value_type::kSz, std::string("1\0", 2));
  EXPECT_EQ(LookUpActiveMonitor(store()), 0);  // unreadable value: rewritten as 0
  EXPECT_EQ(Dword("", "ActiveMonitor"), 0u);
  seed.Dword("MonitorMaps", "ActiveMonitor", 3);
  EXPECT_EQ(LookUpActiveMonitor(store()), 3);
  EXPECT_EQ(Dword("", "ActiveMonitor"), 3u);  // kept, though no item shows it
  EXPECT_EQ(ActiveMonitorSelection(3), kNoSelection);
  EXPECT_EQ(ActiveMonitorSelection(-1), 0);
  EXPECT_EQ(ActiveMonitorSelection(1), 1);
  WriteActiveMonitor(store(), 1);
  EXPECT_EQ(Dword("", "ActiveMonitor"), 1u);
}

TEST_F(DisplayPageModelTest, SupportAndModeAreZeroUnlessStored) {
  EXPECT_EQ(ReadMultiMonValues(store()).mode, 0);
  seed.Dword("MonitorMaps", "MultiMonMode", 3);
  const MultiMonValues values = ReadMultiMonValues(store());
  EXPECT_EQ(values.support, 0);
  EXPECT_EQ(values.mode, 3);
}

TEST_F(DisplayPageModelTest, DeviceRowsShowTheFirstDisplayListingThemOrDisplayZero) {
  SeedDevices();
  seed.Dword("MonitorMaps", "MonitorCount", 2);
  seed.Display(0, 0, 0, 1024, 768, {"\\\\?\\USB#ONE"});  // case differs: no match
  seed.Display(1, 0, 0, 800, 600, {"COM3", "\\\\?\\usb#two"});
  seed.Display(2, 0, 0, 800, 600, {"\\\\?\\usb#one"});  // beyond MonitorCount
  const std::vector<MappedDeviceRow> rows = ReadMappedDeviceRows(store());
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].device.port.view(), "\\\\?\\usb#one");
  EXPECT_EQ(rows[0].display, "DISPLAY 0");
  EXPECT_EQ(rows[1].display, "DISPLAY 1");
  EXPECT_EQ(rows[2].device.port.view(), "COM3");
  EXPECT_EQ(rows[2].display, "DISPLAY 1");
}

TEST_F(DisplayPageModelTest, ApplyWritesInThePagesOrderAndSignalsWithSupport) {
  seed.Dword("MonitorMaps", "ActiveMonitor", 1);
  const std::vector<DeviceMapping> devices{{"\\\\?\\usb#one", "DISPLAY 0"}};
  RecordingStore recording(store());
  const DisplayApplied applied =
      ApplyDisplayPage(recording, State(1, kIndependentMode, kNoSelection, devices));
  EXPECT_TRUE(applied.signal_services);
  EXPECT_EQ(
      recording.written,
      (std::vector<std::string>{"MultiMonSupport", "MultiMonMode", "MonitorCount", "ActiveMonitor",
                                "SM_CXVIRTUALSCREEN", "SM_CYVIRTUALSCREEN", "DisplayDeviceName",
                                "Device00", "AttachedDeviceNo", "DisplayDeviceName",
                                "AttachedDeviceNo", "X", "Y", "CX", "CY", "X", "Y", "CX", "CY"}));
  EXPECT_EQ(Dword("", "MultiMonSupport"), 1u);
  EXPECT_EQ(Dword("", "MultiMonMode"), 1u);
  EXPECT_EQ(Dword("", "MonitorCount"), 2u);
  EXPECT_EQ(Dword("", "ActiveMonitor"), 1u);  // the stored choice, written back
  EXPECT_EQ(Dword("", "SM_CXVIRTUALSCREEN"), 3840u);
  EXPECT_EQ(Text("\\Display00", "DisplayDeviceName"), "DISPLAY 0");
  EXPECT_EQ(Text("\\Display01", "DisplayDeviceName"), "DISPLAY 1");
  EXPECT_EQ(Stored(0), (DisplayRect{0, 0, 2560, 1024}));
  EXPECT_EQ(Stored(1), (DisplayRect{2560, 0, 1280, 1024}));
}

TEST_F(DisplayPageModelTest, TwoDevicesOnDisplayOneNoneOnZeroAndStaleValuesGone) {
  seed.Dword("MonitorMaps", "MonitorCount", 2);
  seed.Display(0, 5, 5, 5, 5, {"old#a", "old#b", "old#c"});
  seed.Key("MonitorMaps\\Display00\\Leftover\\Deeper");
  seed.Display(1, 5, 5, 5, 5, {"old#d"});
  const std::vector<DeviceMapping> devices{
      {"\\\\?\\usb#one", "DISPLAY 1"}, {"COM3", "DISPLAY 1"}, {"COM7", "DISPLAY 2"}};
  ApplyDisplayPage(store(), State(1, kCloneMode, kNoSelection, devices));
  EXPECT_EQ(Dword("\\Display00", "AttachedDeviceNo"), 0u);
  EXPECT_EQ(Text("\\Display00", "Device00"), "<none>");
  EXPECT_FALSE(OpenKey(store(), hklm(),
                       std::string(schema::kMonitorMapsKey) + "\\Display00\\Leftover",
                       key_rights::kRead));
  EXPECT_EQ(Dword("\\Display01", "AttachedDeviceNo"), 2u);
  EXPECT_EQ(Text("\\Display01", "Device00"), "\\\\?\\usb#one");
  EXPECT_EQ(Text("\\Display01", "Device01"), "COM3");
  // A device read as "DISPLAY 2" belongs to neither display the page handles.
  EXPECT_EQ(Text("\\Display01", "Device02"), "<none>");
  // What the services then find.
  const SettingsLoader loader(store(), ServiceKind::kUsb, {1024, 768});
  EXPECT_EQ(loader.FindDisplayIndex("COM3"), 1);
  EXPECT_EQ(loader.FindDisplayIndex("old#a"), -1);
  EXPECT_EQ(loader.ReadMonitorRect(1), (MonitorRect{0, 0, 2560, 1024}));
}

TEST_F(DisplayPageModelTest, StretchFollowsTheDirectionAndSupportOffCoversThePrimaryScreen) {
  DisplayApplied applied =
      ApplyDisplayPage(store(), State(1, kStretchHorizontalMode, kVertical, {}));
  EXPECT_EQ(applied.mode, kStretchVerticalMode);
  EXPECT_EQ(Dword("", "MultiMonMode"), 3u);
  EXPECT_EQ(Stored(1), (DisplayRect{0, 512, 2560, 512}));

  applied = ApplyDisplayPage(store(), State(1, kStretchVerticalMode, kHorizontial, {}));
  EXPECT_EQ(Dword("", "MultiMonMode"), 2u);
  EXPECT_EQ(Stored(0), (DisplayRect{0, 0, 1280, 1024}));
  EXPECT_EQ(Stored(1), (DisplayRect{1280, 0, 1280, 1024}));
  EXPECT_EQ(SettingsLoader(store(), ServiceKind::kSerial, {}).ReadMonitorRect(1),
            (MonitorRect{1280, 0, 2560, 1024}));

  applied = ApplyDisplayPage(store(), State(0, kIndependentMode, kNoSelection, {}));
  EXPECT_FALSE(applied.signal_services);
  EXPECT_EQ(Stored(0), (DisplayRect{0, 0, 2560, 1024}));  // the primary screen
  EXPECT_EQ(Stored(1), (DisplayRect{0, 0, 2560, 1024}));
}

TEST_F(DisplayPageModelTest, UnknownModeWithSupportWritesNoRectanglesButSignals) {
  const DisplayApplied applied = ApplyDisplayPage(store(), State(1, 6, kNoSelection, {}));
  EXPECT_TRUE(applied.signal_services);
  EXPECT_EQ(Dword("", "MultiMonMode"), 6u);
  EXPECT_EQ(Dword("\\Display00", "AttachedDeviceNo"), 0u);
  EXPECT_FALSE(Dword("\\Display00", "X"));
  EXPECT_FALSE(Dword("\\Display01", "CY"));
}

}  // namespace
}  // namespace zorvik::testing
