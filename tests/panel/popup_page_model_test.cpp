// The Popup Control page's values: defaults, order of reads and writes, the edge bits, the
// start/stop state in the registry, and where Popdeck is started from and how it is recognised.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/settings_access.h"
#include "panel/popup_page_model.h"
#include "tests/common/recording_store.h"
#include "tests/common/settings_seed.h"
#include "tests/common/store_under_test.h"
#include "tests/panel/no_create_store.h"

namespace zorvik::testing {
namespace {

using namespace panel;

class PopupModelTest : public StoreTest {
 protected:
  SettingsSeed seed{store()};
  std::optional<std::uint32_t> MpControl(const char* name) {
    const ScopedKey key = OpenKey(store(), hklm(), schema::kMpControlKey, key_rights::kRead);
    return key ? ReadDword(store(), key.get(), name) : std::nullopt;
  }
  static std::vector<std::int32_t> All(const PopupValues& v) {
    return {v.area_limit_option, v.x_allow_area_percent, v.y_allow_area_percent,
            v.popup_active_time, v.popup_process_state};
  }
};

TEST_F(PopupModelTest, MissingKeyAndMissingValuesGiveTheSameDefaults) {
  const std::vector<std::int32_t> defaults{15, 5, 5, 5, 0};
  EXPECT_EQ(All(ReadPopupValues(store())), defaults);
  seed.Key("MPControl");
  EXPECT_EQ(All(ReadPopupValues(store())), defaults);
  for (const EdgeBox& box : kEdgeBoxes)
    EXPECT_TRUE(EdgeChecked(15, box)) << box.control_id;
  EXPECT_STREQ(PopupCaption(0), "Popup Control\n\nSTART >>");
}

TEST_F(PopupModelTest, StoredValuesAreReadInOrderAndShownAsTheyAre) {
  seed.Dword("MPControl", "MPAreaLimitOption", 5);  // top and left
  seed.Dword("MPControl", "MPPopupActiveTime", 9);
  seed.Dword("MPControl", "MPPopupProcessState", 2);
  RecordingStore recording(store());
  const PopupValues values = ReadPopupValues(recording);
  EXPECT_EQ(recording.queried, (std::vector<std::string>{"MPAreaLimitOption", "MPXAllowAreaPercent",
                                                         "MPYAllowAreaPercent", "MPPopupActiveTime",
                                                         "MPPopupProcessState"}));
  EXPECT_EQ(All(values), (std::vector<std::int32_t>{5, 5, 5, 9, 2}));
  std::vector<int> checked;
  for (const EdgeBox& box : kEdgeBoxes) {
    if (EdgeChecked(values.area_limit_option, box)) checked.push_back(box.control_id);
  }
  EXPECT_EQ(checked, (std::vector<int>{IDC_TOP_AREA, IDC_LEFT_AREA}));  // 1004, 1007
  // The field shows 9, the time slider stops at 7.
  EXPECT_EQ(kPopupSliders[2].range.Clamp(values.popup_active_time), 7);
  EXPECT_STREQ(PopupCaption(values.popup_process_state), "Popup Control\n\nSTOP >>");
}

TEST_F(PopupModelTest, ApplyWritesTheFiveValuesInOrder) {
  // Right and bottom boxes checked: 8 + 2.
  const std::int32_t option =
      AreaLimitOption([](int id) { return id == IDC_RIGHT_AREA || id == IDC_BOTTOM_AREA; });
  EXPECT_EQ(option, 10);
  RecordingStore recording(store());
  EXPECT_TRUE(WritePopupValues(recording, {option, 60, 0, -1, 1}));
  EXPECT_EQ(recording.written, (std::vector<std::string>{"MPAreaLimitOption", "MPXAllowAreaPercent",
                                                         "MPYAllowAreaPercent", "MPPopupActiveTime",
                                                         "MPPopupProcessState"}));
  EXPECT_EQ(All(ReadPopupValues(store())), (std::vector<std::int32_t>{10, 60, 0, -1, 1}));
}

TEST_F(PopupModelTest, StartStopTogglesTheStoredStateAndLeavesOtherValuesAlone) {
  seed.Key("MPControl");
  EXPECT_EQ(TogglePopupState(store()), PopupToggle::kStart);
  EXPECT_EQ(MpControl("MPPopupProcessState"), 1u);
  EXPECT_EQ(TogglePopupState(store()), PopupToggle::kStop);
  EXPECT_EQ(MpControl("MPPopupProcessState"), 0u);
  seed.Dword("MPControl", "MPPopupProcessState", 2);
  EXPECT_EQ(TogglePopupState(store()), PopupToggle::kNone);
  EXPECT_EQ(MpControl("MPPopupProcessState"), 2u);
}

TEST_F(PopupModelTest, WithoutMPControlTheStateIsStillKeptUnlessTheKeyCannotBeMade) {
  EXPECT_EQ(TogglePopupState(store()), PopupToggle::kStart);
  EXPECT_EQ(MpControl("MPPopupProcessState"), 1u);
  EXPECT_EQ(TogglePopupState(store()), PopupToggle::kStop);
  // Without write access nothing is stored: every press starts.
  ASSERT_EQ(DeleteKeyTree(store(), hklm(), schema::kMpControlKey), store_error::kSuccess);
  NoCreateStore refusing(store());
  EXPECT_EQ(TogglePopupState(refusing), PopupToggle::kStart);
  EXPECT_EQ(TogglePopupState(refusing), PopupToggle::kStart);
}

TEST_F(PopupModelTest, PopdeckIsStartedFromTargetDirOnlyWhenThereIsOne) {
  EXPECT_FALSE(PopdeckPath(store()));  // no Program key
  seed.Key("Program");
  EXPECT_FALSE(PopdeckPath(store()));  // no TargetDir
  seed.Dword("Program", "TargetDir", 1);
  EXPECT_FALSE(PopdeckPath(store()));  // not text
  seed.Text("Program", "TargetDir", "");
  EXPECT_FALSE(PopdeckPath(store()));  // empty: no folder, not the drive's root
  seed.Text("Program", "TargetDir", "C:\\Program Files\\Zorvik Touch");
  const auto path = PopdeckPath(store());
  ASSERT_TRUE(path);
  EXPECT_EQ(*path, "C:\\Program Files\\Zorvik Touch\\Popdeck.exe");
  // Quoted, so that nothing parses "C:\Program" out of it.
  EXPECT_EQ(PopdeckCommandLine(*path), "\"C:\\Program Files\\Zorvik Touch\\Popdeck.exe\"");
}

TEST(PopdeckProcess, AnyFileNameContainingPopdeckInAnyCaseIsTaken) {
  EXPECT_TRUE(IsPopdeckProcess("Popdeck.exe"));
  EXPECT_TRUE(IsPopdeckProcess("POPDECK.EXE"));
  EXPECT_TRUE(IsPopdeckProcess("oldpopdeck2.exe"));
  EXPECT_FALSE(IsPopdeckProcess("Popdec.exe"));
  EXPECT_FALSE(IsPopdeckProcess("Orbisk.exe"));
  EXPECT_FALSE(IsPopdeckProcess(""));
}

}  // namespace
}  // namespace zorvik::testing
