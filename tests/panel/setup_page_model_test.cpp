// The Setup page's values: defaults per value, the order of reads and writes, values no button
// stands for, slider ends; the double-click test picture and the scan's ticks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/settings_access.h"
#include "panel/scan_progress.h"
#include "panel/setup_page_model.h"
#include "tests/common/recording_store.h"
#include "tests/common/settings_seed.h"
#include "tests/common/store_under_test.h"

namespace zorvik::testing {
namespace {

using namespace panel;

class SetupPageModelTest : public StoreTest {
 protected:
  SettingsSeed seed{store()};
  std::optional<std::uint32_t> General(const char* name) {
    const ScopedKey general = OpenKey(store(), hklm(), schema::kGeneralKey, key_rights::kRead);
    return general ? ReadDword(store(), general.get(), name) : std::nullopt;
  }
};

TEST_F(SetupPageModelTest, EmptyRegistryGivesTheDefaultsAndNoStoredSpeed) {
  const SetupValues values = ReadSetupValues(store());
  EXPECT_EQ(values.mouse_mode, 0);
  EXPECT_EQ(values.click_mode, 1);
  EXPECT_EQ(values.tick_freq, 1711);
  EXPECT_EQ(values.tick_length, 28);
  EXPECT_EQ(values.click_area, 500);
  EXPECT_EQ(values.screen_rotate, 0);
  EXPECT_FALSE(values.double_click_speed.has_value());
  EXPECT_EQ(RadioFor(kClickModeRadios, values.click_mode), IDC_TOUCH_DOWN);
  EXPECT_EQ(RadioFor(kMouseModeRadios, values.mouse_mode), IDC_DRAWING_MODE);
  EXPECT_EQ(RadioFor(kRotationRadios, values.screen_rotate), IDC_ROTATE_0);
}

TEST_F(SetupPageModelTest, EachValueFallsBackOnItsOwnInThePagesOrder) {
  seed.Dword("General", "ScreenRotateFlag", 45);
  seed.Dword("General", "MouseMode", 2);
  seed.Raw("General", "ClickMode", value_type::kSz, std::string("2\0", 2));  // not a DWORD
  seed.Dword("General", "TickFreq", 3000);
  seed.Dword("General", "DoubleClickSpeed", 640);
  RecordingStore recording(store());
  const SetupValues values = ReadSetupValues(recording);
  EXPECT_EQ(recording.queried,
            (std::vector<std::string>{"MouseMode", "ClickMode", "TickFreq", "Ticklength",
                                      "ClickArea", "ScreenRotateFlag", "DoubleClickSpeed"}));
  EXPECT_EQ(values.click_mode, 1);
  EXPECT_EQ(values.tick_freq, 3000);
  EXPECT_EQ(values.double_click_speed, 640);
  // Values no button stands for check none, and are kept as they are.
  EXPECT_EQ(RadioFor(kRotationRadios, values.screen_rotate), 0);
  EXPECT_EQ(RadioFor(kMouseModeRadios, values.mouse_mode), 0);
  // The trackbar shows out-of-range values at its ends; Apply writes what it shows.
  EXPECT_EQ(kToneSlider.Clamp(values.tick_freq), 2000);
  EXPECT_EQ(kLengthSlider.Clamp(0), 1);
}

TEST_F(SetupPageModelTest, RadioButtonsKnowTheirGroupAndValue) {
  const auto rotate_360 = FindRadio(IDC_ROTATE_360);
  ASSERT_TRUE(rotate_360);
  EXPECT_EQ(rotate_360->value, 360);  // its own value, not 0
  EXPECT_EQ(rotate_360->group.data(), kRotationRadios.data());
  EXPECT_EQ(FindRadio(IDC_LIFT_UP)->value, 2);
  EXPECT_EQ(FindRadio(IDC_TOUCH_ONLY_MODE)->group.size(), 2u);
  EXPECT_FALSE(FindRadio(IDC_DOUBLE_CLICK_SPEED));
}

TEST_F(SetupPageModelTest, ApplyCreatesGeneralAndWritesAllSevenInOrder) {
  RecordingStore recording(store());
  EXPECT_TRUE(WriteSetupValues(recording, {360, 2, 0, 2000, 1, 0, 640}));
  EXPECT_EQ(recording.written,
            (std::vector<std::string>{"ScreenRotateFlag", "MouseMode", "ClickMode", "TickFreq",
                                      "Ticklength", "ClickArea", "DoubleClickSpeed"}));
  EXPECT_EQ(General("ScreenRotateFlag"), 360u);
  EXPECT_EQ(General("MouseMode"), 2u);
  EXPECT_EQ(General("ClickMode"), 0u);
  EXPECT_EQ(General("TickFreq"), 2000u);
  EXPECT_EQ(General("Ticklength"), 1u);
  EXPECT_EQ(General("ClickArea"), 0u);
  EXPECT_EQ(General("DoubleClickSpeed"), 640u);
}

TEST(DoubleClickTestPicture, FirstDoubleClickKeepsTheClosedFolderThenTheyAlternate) {
  DoubleClickTest test;
  EXPECT_EQ(test.Icon(), IDI_CLOSED_FOLDER);
  EXPECT_EQ(test.DoubleClicked(), IDI_CLOSED_FOLDER);
  EXPECT_EQ(test.DoubleClicked(), IDI_OPEN_FOLDER);
  EXPECT_EQ(test.DoubleClicked(), IDI_CLOSED_FOLDER);
  EXPECT_EQ(test.DoubleClicked(), IDI_OPEN_FOLDER);
}

TEST(ScanProgressTicks, FiftyAdvancesThenTheFiftyFirstTickFinishesAndARestartBeginsAtZero) {
  ScanProgress scan;
  EXPECT_EQ(scan.Tick(), ScanProgress::Step::kIdle);
  for (int round = 0; round < 2; ++round) {
    scan.Start();
    EXPECT_EQ(scan.Position(), 0);
    for (int tick = 1; tick <= 50; ++tick) {
      ASSERT_EQ(scan.Tick(), ScanProgress::Step::kAdvance);
      ASSERT_EQ(scan.Position(), tick);
    }
    EXPECT_EQ(scan.Tick(), ScanProgress::Step::kFinish);
    EXPECT_FALSE(scan.scanning());
    EXPECT_EQ(scan.Tick(), ScanProgress::Step::kIdle);
  }
}

}  // namespace
}  // namespace zorvik::testing
