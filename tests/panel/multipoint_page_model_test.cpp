// The Multipoint Touch page's values: the two sets of defaults, the order of reads and writes,
// MPLimitState left alone, a key that cannot be created, and typed range ends against the slider.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/settings_access.h"
#include "panel/multipoint_page_model.h"
#include "panel/range_slider_model.h"
#include "tests/common/recording_store.h"
#include "tests/common/settings_seed.h"
#include "tests/common/store_under_test.h"
#include "tests/panel/no_create_store.h"

namespace zorvik::testing {
namespace {

using namespace panel;

class MultiPointModelTest : public StoreTest {
 protected:
  SettingsSeed seed{store()};
  std::optional<std::uint32_t> MpControl(const char* name) {
    const ScopedKey key = OpenKey(store(), hklm(), schema::kMpControlKey, key_rights::kRead);
    return key ? ReadDword(store(), key.get(), name) : std::nullopt;
  }
  static std::vector<std::int32_t> All(const MultiPointValues& v) {
    return {v.x_limit_start,        v.x_limit_end,     v.y_limit_start,       v.y_limit_end,
            v.allow_state,          v.limit_state,     v.enable_mouse_action, v.first_touch_only,
            v.enable_touch_correct, v.enable_mp_limit, v.touch_pressure,      v.touch_velocity};
  }
};

TEST_F(MultiPointModelTest, MissingKeyAndEmptyKeyHaveTheirOwnDefaults) {
  // No key: full ranges, "Allow XY range", mouse action and first touch on, the limit off.
  EXPECT_EQ(All(ReadMultiPointValues(store())),
            (std::vector<std::int32_t>{0, 1000, 0, 1000, 1, 1, 1, 1, 0, 0, 0, 100}));
  // A key without values: empty ranges, "Limit XY range", every option off, velocity 100.
  seed.Key("MPControl");
  EXPECT_EQ(All(ReadMultiPointValues(store())),
            (std::vector<std::int32_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 100}));
}

TEST_F(MultiPointModelTest, ReadsInThePagesOrderAndEachValueFallsBackOnItsOwn) {
  seed.Dword("MPControl", "MPXLimitStart", 120);
  seed.Dword("MPControl", "MPYLimitEnd", 640);
  seed.Dword("MPControl", "MPLimitState", 7);
  seed.Dword("MPControl", "EnableMPLimit", 1);
  seed.Dword("MPControl", "MPTouchPressure", static_cast<std::uint32_t>(-3));
  seed.Raw("MPControl", "MPTouchVelocity", value_type::kSz, std::string("50\0", 3));
  RecordingStore recording(store());
  const MultiPointValues values = ReadMultiPointValues(recording);
  EXPECT_EQ(recording.queried,
            (std::vector<std::string>{"MPXLimitStart", "MPXLimitEnd", "MPYLimitStart",
                                      "MPYLimitEnd", "MPAllowState", "MPLimitState",
                                      "EnableMouseAction", "FirstTouchOnly", "EnableTouchCorrect",
                                      "EnableMPLimit", "MPTouchPressure", "MPTouchVelocity"}));
  EXPECT_EQ(All(values), (std::vector<std::int32_t>{120, 0, 0, 640, 0, 7, 0, 0, 0, 1, -3, 100}));
}

TEST_F(MultiPointModelTest, ApplyWritesElevenValuesInOrderAndNeverMPLimitState) {
  seed.Dword("MPControl", "MPLimitState", 7);
  MultiPointValues values{10, 20, 30, 40, 0, 99, 1, 0, 1, 1, -5, 250};
  RecordingStore recording(store());
  EXPECT_TRUE(WriteMultiPointValues(recording, values));
  EXPECT_EQ(recording.created, (std::vector<std::string>{schema::kMpControlKey}));
  EXPECT_EQ(recording.written,
            (std::vector<std::string>{"MPXLimitStart", "MPXLimitEnd", "MPYLimitStart",
                                      "MPYLimitEnd", "MPAllowState", "EnableMouseAction",
                                      "FirstTouchOnly", "EnableTouchCorrect", "EnableMPLimit",
                                      "MPTouchPressure", "MPTouchVelocity"}));
  EXPECT_EQ(MpControl("MPLimitState"), 7u);
  values.limit_state = 7;
  EXPECT_EQ(All(ReadMultiPointValues(store())), All(values));  // -5 comes back as -5
}

TEST_F(MultiPointModelTest, ApplyWithoutWriteAccessWritesNothing) {
  NoCreateStore refusing(store());
  EXPECT_FALSE(WriteMultiPointValues(refusing, MultiPointValues{}));
  EXPECT_FALSE(OpenKey(store(), hklm(), schema::kMpControlKey, key_rights::kRead));
}

TEST_F(MultiPointModelTest, OptionBoxesCarryTheirOwnValues) {
  const MultiPointValues values{0, 0, 0, 0, 0, 0, 11, 12, 13, 14, 0, 0};
  std::vector<std::pair<int, std::int32_t>> shown;
  for (const OptionBox& box : kOptionBoxes)
    shown.emplace_back(box.control_id, values.*box.value);
  EXPECT_EQ(shown, (std::vector<std::pair<int, std::int32_t>>{
                       {1004, 11}, {1006, 14}, {1005, 12}, {1007, 13}}));
}

// A typed end applied to a slider as the page applies it.
RangeEdit Type(RangeSliderModel& slider, int field_id, std::int32_t typed) {
  const RangeField* field = FindRangeField(field_id);
  EXPECT_NE(field, nullptr);
  const RangeSliderModel::Range now = slider.GetRange();
  const RangeEdit edit = EditRange(field->end, typed, now.left, now.right);
  slider.SetRange(edit.left, edit.right);
  return edit;
}

TEST(MultiPointRangeFields, TypedEndsAreHeldByTheOtherEndAndTheSliderBounds) {
  RangeSliderModel slider;
  slider.SetMinMax(kLimitSliderMin, kLimitSliderMax);
  slider.SetRange(100, 800);
  // A start beyond the end becomes the end, and the field is rewritten with it.
  EXPECT_EQ(Type(slider, IDC_X_LIMIT_START, 1200).rewrite, 800);
  EXPECT_EQ(slider.GetRange().left, 800);
  EXPECT_EQ(slider.GetRange().right, 800);
  // Below the bounds the field keeps what was typed, the slider stops at 0; Apply takes 0.
  EXPECT_FALSE(Type(slider, IDC_X_LIMIT_START, -50).rewrite);
  EXPECT_EQ(LimitValue(slider.GetRange().left), 0);
  // An end below the start becomes the start; above the bounds the slider stops at 1000.
  slider.SetRange(300, 800);
  EXPECT_EQ(Type(slider, IDC_Y_LIMIT_END, 250).rewrite, 300);
  EXPECT_EQ(slider.GetRange().right, 300);
  EXPECT_FALSE(Type(slider, IDC_Y_LIMIT_END, 5000).rewrite);
  EXPECT_EQ(slider.GetRange().right, 1000);
  EXPECT_EQ(FindRangeField(IDC_Y_LIMIT_END)->slider_id, IDC_Y_RANGE_SLIDER);
  EXPECT_EQ(FindRangeField(IDC_TOUCH_PRESSURE), nullptr);
}

TEST(MultiPointRangeFields, ADraggedEndIsComparedAndStoredTruncated) {
  // After a drag the slider holds fractions: 800.9 is an end of 800.
  const RangeEdit start = EditRange(RangeField::End::kStart, 801, 10.2, 800.9);
  EXPECT_EQ(start.rewrite, 800);
  EXPECT_EQ(start.right, 800.9);
  EXPECT_FALSE(EditRange(RangeField::End::kEnd, 10, 10.9, 800.0).rewrite);
  EXPECT_EQ(LimitValue(999.99), 999);
  EXPECT_EQ(LimitValue(-0.5), 0);
}

}  // namespace
}  // namespace zorvik::testing
