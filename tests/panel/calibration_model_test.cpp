// The calibration screen's model: drawn and matrix targets, the three-point matrix in wrapping
// arithmetic, the recording of four touches, placement for every MultiMonMode, and the values it
// writes as the services then load them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/settings_access.h"
#include "common/settings_loader.h"
#include "panel/calibration_model.h"
#include "tests/common/settings_seed.h"
#include "tests/common/store_under_test.h"
#include "tests/panel/no_create_store.h"

namespace zorvik::testing {
namespace {

using namespace panel;

constexpr MonitorRect kClient{0, 0, 1024, 768};

TEST(CalibrationTargets, A1024By768ScreenDrawsAndMapsOnePixelApart) {
  EXPECT_EQ(DrawnTargets(1024, 768),
            (std::array<ClientPoint, 4>{{{102, 76}, {922, 76}, {102, 692}, {922, 692}}}));
  EXPECT_EQ(MatrixTargets(kClient),
            (std::array<ClientPoint, 3>{{{101, 75}, {921, 75}, {101, 691}}}));
  // Matrix targets are relative to the client rectangle, whatever its origin.
  EXPECT_EQ(MatrixTargets({1024, 100, 2048, 868}), MatrixTargets(kClient));
}

TEST(CalibrationMatrixMath, TouchesOnTheTargetsGiveAScaledIdentity) {
  const auto targets = MatrixTargets(kClient);
  const CalibrationMatrix m = ComputeCalibrationMatrix(targets, targets);
  EXPECT_EQ(m.Divider, 505120);  // 820 x 616
  EXPECT_EQ(m.An, 505120);
  EXPECT_EQ(m.En, 505120);
  EXPECT_EQ((std::array{m.Bn, m.Cn, m.Dn, m.Fn}), (std::array{0, 0, 0, 0}));
}

TEST(CalibrationMatrixMath, OffsetAndScaledTouchesMapBackOntoEveryTarget) {
  const auto targets = MatrixTargets(kClient);
  // The panel touched 20 pixels right and 10 down of each target, at 90 % scale.
  std::array<ClientPoint, 3> touched{};
  for (int i = 0; i < 3; ++i) {
    touched[i] = {targets[i].x * 9 / 10 + 20, targets[i].y * 9 / 10 + 10};
  }
  const CalibrationMatrix m = ComputeCalibrationMatrix(touched, targets);
  ASSERT_NE(m.Divider, 0);
  for (int i = 0; i < 3; ++i) {
    const std::int64_t x = touched[i].x, y = touched[i].y;
    EXPECT_NEAR(static_cast<double>(m.An * x + m.Bn * y + m.Cn) / m.Divider, targets[i].x, 0.5);
    EXPECT_NEAR(static_cast<double>(m.Dn * x + m.En * y + m.Fn) / m.Divider, targets[i].y, 0.5);
  }
}

TEST(CalibrationMatrixMath, CollinearOrCoincidentTouchesGiveZeroDivider) {
  const auto targets = MatrixTargets(kClient);
  EXPECT_EQ(ComputeCalibrationMatrix({{{10, 10}, {20, 20}, {40, 40}}}, targets).Divider, 0);
  EXPECT_EQ(ComputeCalibrationMatrix({{{300, 300}, {300, 300}, {300, 300}}}, targets).Divider, 0);
  EXPECT_EQ(ComputeCalibrationMatrix({{{0, 5}, {500, 5}, {900, 5}}}, targets).Divider, 0);
}

TEST(CalibrationMatrixMath, HugeCoordinatesWrapInsteadOfOverflowing) {
  // Products beyond 32 bits wrap as two's complement (no undefined behaviour under UBSan).
  const std::array<ClientPoint, 3> touched{{{70000, 0}, {0, 70000}, {0, 0}}};
  const CalibrationMatrix m = ComputeCalibrationMatrix(touched, MatrixTargets(kClient));
  EXPECT_EQ(m.Divider, static_cast<std::int32_t>(static_cast<std::uint32_t>(70000u * 70000u)));
}

TEST(CalibrationRecording, EveryButtonUpCountsAndTheFourthEndsWithoutChangingTheResult) {
  const auto targets = MatrixTargets(kClient);
  CalibrationProcedure first, second;
  for (const auto& t : targets) {
    EXPECT_EQ(first.Record(t), CalibrationProcedure::Step::kNext);
    EXPECT_EQ(second.Record(t), CalibrationProcedure::Step::kNext);
  }
  EXPECT_EQ(first.current(), 3);
  EXPECT_EQ(first.Record({922, 692}), CalibrationProcedure::Step::kDone);
  EXPECT_EQ(second.Record({-5, 40000}), CalibrationProcedure::Step::kDone);
  EXPECT_EQ(first.current(), 0);
  EXPECT_EQ(first.Matrix(kClient), second.Matrix(kClient));
  EXPECT_EQ(first.Matrix(kClient).Divider, 505120);
}

TEST(CalibrationGrid, LinesRunThroughTheMiddleAtEverySpacing) {
  EXPECT_EQ(FirstGridLine(1024, 100), 12);  // 512 - 5 * 100
  EXPECT_EQ(FirstGridLine(768, 100), 84);
  EXPECT_EQ(FirstGridLine(1024, 10), 2);
  EXPECT_EQ(FirstGridLine(0, 10), 0);
  EXPECT_EQ(FirstGridLine(1024, 0), 0);
}

class CalibrationPlacement : public ::testing::Test {
 protected:
  std::optional<WindowPlace> Place(std::int32_t support, std::int32_t mode, std::int32_t active,
                                   std::vector<MonitorRect> monitors = {{0, 0, 1920, 1080},
                                                                        {1920, 0, 3200, 1024}}) {
    return TouchScreenPlace({support, mode}, active, monitors, {1024, 768}, {0, 0, 640, 480});
  }
};

TEST_F(CalibrationPlacement, SupportOffTakesThePrimaryScreenWhateverTheMode) {
  EXPECT_EQ(Place(0, 2, 1), (WindowPlace{0, 0, 1024, 768}));
  EXPECT_EQ(Place(0, 9, 1), (WindowPlace{0, 0, 1024, 768}));
}

TEST_F(CalibrationPlacement, CloneAndIndependentTakeTheActiveMonitor) {
  EXPECT_EQ(Place(1, 0, 0), (WindowPlace{0, 0, 1920, 1080}));
  EXPECT_EQ(Place(1, 1, 1), (WindowPlace{1920, 0, 1280, 1024}));
  EXPECT_EQ(Place(1, 1, -1), (WindowPlace{0, 0, 1920, 1080}));  // key just created
  // A monitor removed since it was chosen: monitor 0 rather than nowhere.
  EXPECT_EQ(Place(1, 1, 2), (WindowPlace{0, 0, 1920, 1080}));
  EXPECT_EQ(Place(1, 1, 0x7FFFFFFF), (WindowPlace{0, 0, 1920, 1080}));
  // No monitor at all: the client rectangle.
  EXPECT_EQ(Place(1, 1, 0, {}), (WindowPlace{0, 0, 640, 480}));
}

TEST_F(CalibrationPlacement, StretchModesSplitMonitorZero) {
  EXPECT_EQ(Place(1, 2, 0), (WindowPlace{0, 0, 960, 1080}));
  EXPECT_EQ(Place(1, 2, 1), (WindowPlace{960, 0, 960, 1080}));  // right half of monitor 0
  EXPECT_EQ(Place(1, 3, 0), (WindowPlace{0, 0, 1920, 540}));
  EXPECT_EQ(Place(1, 3, 1), (WindowPlace{0, 540, 1920, 540}));
  EXPECT_EQ(Place(1, 2, -1), (WindowPlace{0, 0, 960, 1080}));  // negative stands for monitor 0
  EXPECT_EQ(Place(1, 4, 0), std::nullopt);                     // not moved
}

class CalibrationWrites : public StoreTest {
 protected:
  MonitorMapping Loaded(int display) {
    const SettingsLoader loader(store(), ServiceKind::kUsb, {1024, 768});
    MonitorMapping mapping;
    loader.ReadMonitorMapping(display, mapping);
    return mapping;
  }
};

TEST_F(CalibrationWrites, MissingActiveMonitorIsCreatedAsZeroAndMonitorZeroIsCalibrated) {
  EXPECT_EQ(CalibrationMonitor(store()), 0);
  const ScopedKey maps =
      OpenKey(store(), hklm(), "Software\\ZorvikTouchParam\\MonitorMaps", key_rights::kRead);
  ASSERT_TRUE(maps);
  EXPECT_EQ(ReadDword(store(), maps.get(), "ActiveMonitor"), 0u);
  SettingsSeed(store()).Dword("MonitorMaps", "ActiveMonitor", 0xFFFFFFFF);  // -1
  EXPECT_EQ(CalibrationMonitor(store()), 0);
  SettingsSeed(store()).Dword("MonitorMaps", "ActiveMonitor", 2);
  EXPECT_EQ(CalibrationMonitor(store()), 2);
}

TEST_F(CalibrationWrites, TheServicesLoadTheMatrixWithOffsetsAndZoomsReset) {
  SettingsSeed seed(store());
  seed.Text("General", "MON01X", "35");
  seed.Text("General", "MON01XZOOMA", "9000");
  seed.Text("General", "MON00An", "5");
  const CalibrationMatrix matrix{505120, -3, 1234, 0, 505120, -77, 505120};
  ASSERT_TRUE(WriteCalibration(store(), 1, matrix));
  const MonitorMapping loaded = Loaded(1);
  EXPECT_EQ(loaded.matrix, matrix);
  EXPECT_EQ((std::array{loaded.XOffset, loaded.YOffset, loaded.XZoom, loaded.YZoom}),
            (std::array{0, 0, 10000, 10000}));
  const ScopedKey general =
      OpenKey(store(), hklm(), "Software\\ZorvikTouchParam\\General", key_rights::kRead);
  const auto divider = ReadText(store(), general.get(), "MON01Divider");
  ASSERT_TRUE(divider);
  EXPECT_EQ(divider->view(), "505120");  // decimal text, as every per-monitor value
  ASSERT_TRUE(WriteCalibration(store(), 1, CalibrationMatrix{}));  // the identity set
  EXPECT_EQ(Loaded(1).matrix, CalibrationMatrix{});
  EXPECT_EQ(Loaded(0).matrix.An, 5);  // other monitors are left as they were
}

// A kiosk calibration's errors and time describe the mapping it stored; once the panel writes
// another, `touchctl calibration` must not show them beside it. Other monitors keep theirs.
TEST_F(CalibrationWrites, ThePanelsCalibrationForgetsTheKioskAccuracyOfItsMonitor) {
  const char* const kAccuracy[] = {"CheckErrorUm", "FitErrorUm", "CalibratedAt"};
  SettingsSeed seed(store());
  for (const char* monitor : {"MON00", "MON01"}) {
    for (const char* value : kAccuracy)
      seed.Text("General", std::string(monitor) + value, "513");
  }
  ASSERT_TRUE(WriteCalibration(store(), 1, CalibrationMatrix{}));
  const ScopedKey general =
      OpenKey(store(), hklm(), "Software\\ZorvikTouchParam\\General", key_rights::kRead);
  for (const char* value : kAccuracy) {
    EXPECT_FALSE(ReadText(store(), general.get(), std::string("MON01") + value)) << value;
    EXPECT_TRUE(ReadText(store(), general.get(), std::string("MON00") + value)) << value;
  }
}

TEST_F(CalibrationWrites, AKeyThatCannotBeCreatedIsReported) {
  NoCreateStore refusing(store());
  EXPECT_FALSE(WriteCalibration(refusing, 0, CalibrationMatrix{}));
}

}  // namespace
}  // namespace zorvik::testing
