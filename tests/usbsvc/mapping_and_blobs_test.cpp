// Blob finding, the mapping stages, the smoothing filter and identifier matching, at the values
// where off-by-one and precision faults show.
#include <gtest/gtest.h>

#include "common/pointer_emit.h"
#include "usbsvc/blob_finder.h"
#include "usbsvc/candidate_tracking.h"
#include "usbsvc/coordinate_mapping.h"

namespace zorvik {
namespace {

DeviceSettings Screen1024x768() {
  DeviceSettings s = NewDeviceSettings({1024, 768});
  s.mapping.XZoom = s.mapping.YZoom = 10000;
  return s;
}

AbsolutePoint Map(std::int32_t x14, std::int32_t y14, const DeviceSettings& s) {
  const PixelPoint at = SensorToMonitor(x14, y14, s.monitor);
  return *MapToAbsolute(*Calibrate(at, s.mapping.matrix), s);
}

// Pointer units span the virtual desktop from its top-left corner, which lies left of or above
// the primary when a monitor does: each monitor's corners land on its own share of 0..65535.
TEST(DesktopScaling, MonitorsLeftOfAndAboveThePrimaryLandOnTheirOwnShare) {
  struct Case {
    const char* layout;
    MonitorRect monitor;
    std::int32_t vw, vh;
    DesktopOrigin origin;
    std::int32_t x, y;
    std::int32_t xd, yd;
  };
  const Case cases[] = {
      {"left of the primary, its left edge",
       {-1920, 0, 0, 1080},
       3840,
       1080,
       {-1920, 0},
       0,
       0,
       0,
       0},
      {"left of the primary, its right edge",
       {-1920, 0, 0, 1080},
       3840,
       1080,
       {-1920, 0},
       65535,
       65535,
       32767,
       65535},
      {"primary right of it, its left edge",
       {0, 0, 1920, 1080},
       3840,
       1080,
       {-1920, 0},
       0,
       0,
       32767,
       0},
      {"stacked above the primary, its top",
       {0, -1080, 1920, 0},
       1920,
       2160,
       {0, -1080},
       0,
       0,
       0,
       0},
      {"primary below it, its top", {0, 0, 1920, 1080}, 1920, 2160, {0, -1080}, 0, 0, 0, 32767},
      {"origin at 0: the second of two side by side",
       {1024, 0, 2048, 768},
       2048,
       768,
       {0, 0},
       0,
       0,
       32767,
       0},
  };
  for (const Case& c : cases) {
    DeviceSettings s = Screen1024x768();
    s.monitor = c.monitor;
    s.VirtualWidth = c.vw;
    s.VirtualHeight = c.vh;
    s.virtual_origin = c.origin;
    const auto scaled = ScaleToDesktop(c.x, c.y, s);
    ASSERT_TRUE(scaled) << c.layout;
    EXPECT_EQ((*scaled)[0], c.xd) << c.layout;
    EXPECT_EQ((*scaled)[1], c.yd) << c.layout;
  }
}

TEST(BlobFinder, WorkedExampleGivesCentreAndWidthPairs) {
  const std::uint8_t levels[] = {0, 60, 90, 70, 0};
  BlobTable table;
  FindBlobs(levels, Axis::kX, table);
  ASSERT_EQ(table.x_count, 1u);
  const auto& bytes = table.records[0].bytes;
  EXPECT_EQ(bytes[0], 87);   // width 11263.3125: high trunc(width / 128)
  EXPECT_EQ(bytes[1], 127);  // low trunc(width) mod 128
  EXPECT_EQ(table.Get(Axis::kX, 0).centre, 9420);
}

TEST(BlobFinder, BlobsCloseAtTheAxisEndAndOverflowIsDropped) {
  const std::uint8_t edge[] = {0, 0, 0, 51, 100};  // 50 is free, 51 is touched
  BlobTable table;
  FindBlobs(edge, Axis::kY, table);
  ASSERT_EQ(table.y_count, 1u);
  EXPECT_EQ(table.x_count, 0u);
  EXPECT_GT(table.Get(Axis::kY, 0).centre, 12000);

  std::vector<std::uint8_t> many(300, 0);
  for (std::size_t i = 0; i < many.size(); i += 2)
    many[i] = 100;  // 150 separate blobs
  table.Clear();
  FindBlobs(many, Axis::kX, table);
  EXPECT_EQ(table.x_count, 100u);

  // A last cell whose level pulls the centre past the axis end is stored as 16383.
  const std::uint8_t pulled[] = {0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 51, 255};
  table.Clear();
  FindBlobs(pulled, Axis::kX, table);
  ASSERT_EQ(table.x_count, 1u);
  EXPECT_LE(table.Get(Axis::kX, 0).centre, 16383);
}

TEST(CoordinateMapping, ZoomOffsetAndRotation) {
  // A controller that has not had its settings load yet maps at full zoom too.
  EXPECT_EQ(Map(8192, 8192, NewDeviceSettings({1024, 768})), (AbsolutePoint{32767, 32767}));
  DeviceSettings s = Screen1024x768();

  s.mapping.XZoom = 9000;  // margins of 3276 on both sides
  EXPECT_EQ(Map(0, 0, s).x, 3276);
  EXPECT_EQ(Map(16383, 0, s).x, 62253);

  s = Screen1024x768();
  s.mapping.YOffset = 10;  // 1 % of the range
  EXPECT_EQ(Map(0, 0, s).y, 655);

  s = Screen1024x768();
  s.ScreenRotateFlag = 180;
  EXPECT_EQ(Map(0, 0, s), (AbsolutePoint{65535, 65535}));
  s.ScreenRotateFlag = 90;
  EXPECT_EQ(Map(0, 0, s), (AbsolutePoint{65535, 0}));
  s.ScreenRotateFlag = 270;
  EXPECT_EQ(Map(0, 0, s), (AbsolutePoint{0, 65535}));
  s.ScreenRotateFlag = 45;  // no rotation stage: normalised units, not clamped
  EXPECT_EQ(Map(8192, 4096, s), (AbsolutePoint{8192, 4096}));
}

TEST(CoordinateMapping, DegenerateInputsGiveNoValueAndHugeOnesSaturate) {
  DeviceSettings s = Screen1024x768();
  s.mapping.matrix.Divider = 0;
  EXPECT_FALSE(Calibrate({1, 1}, s.mapping.matrix));

  s = Screen1024x768();
  s.monitor.bottom = s.monitor.top;
  EXPECT_FALSE(MapToAbsolute({1, 1}, s));

  s = Screen1024x768();
  s.mapping.XOffset = 2147483647;
  s.mapping.XZoom = -2147483647;
  s.mapping.matrix.An = 2147483647;
  EXPECT_EQ(Map(16383, 0, s).x, 65535);  // clamped, no overflow on the way
}

TEST(PointerFilter, ResetsToTheEleventhOutputAndOvershootsOnTheWay) {
  PointerFilter filter;
  filter.Reset(32767);
  EXPECT_EQ(static_cast<int>(filter.Feed(32767)), 32656);
  PointerFilter fresh;
  double sixth = 0;
  for (int i = 0; i < 6; ++i)
    sixth = fresh.Feed(32767);
  EXPECT_NEAR(sixth, 34583, 1);
}

TEST(CandidateTracking, IdentifiersFollowTheNearestPreviousTouch) {
  CandidateGrid previous;
  previous.rows = 1;
  previous.cols = 2;
  previous.used_rows = 1;
  previous.used_cols = 2;
  previous.at(0, 0) = {.status = 1, .id = 4, .x = 100, .y = 100};
  previous.at(0, 1) = {.status = 1, .id = 7, .x = 900, .y = 100};

  CandidateGrid current;
  current.rows = 1;
  current.cols = 3;
  current.used_rows = 1;
  current.used_cols = 3;
  current.at(0, 0) = {.status = 1, .x = 110, .y = 100};  // nearest 4: keeps 4
  current.at(0, 1) = {.status = 1, .x = 120, .y = 100};  // nearest 4 again: largest + 1
  current.at(0, 2) = {.status = 1, .x = 880, .y = 100};  // nearest 7: keeps 7
  AssignMatchedIds(current, previous);
  EXPECT_EQ(current.at(0, 0).id, 4);
  EXPECT_EQ(current.at(0, 1).id, 5);
  EXPECT_EQ(current.at(0, 2).id, 7);

  CandidateGrid empty;
  empty.rows = 1;
  empty.cols = 1;
  CandidateGrid lone = current;
  AssignMatchedIds(lone, empty);  // nothing to follow: the smallest free identifier
  EXPECT_EQ(lone.at(0, 0).id, 1);
}

TEST(CandidateTracking, SizeFilterKeepsInsideOrOutsideTheBounds) {
  CandidateGrid grid;
  grid.rows = grid.cols = 1;
  grid.at(0, 0).raw_width = 1000;  // 1000 / (16383 / 64) × 5.3 = 20 size units
  grid.at(0, 0).raw_height = 1000;
  MpControlSettings mp = kMpControlValueAbsent;
  mp.EnableMPLimit = 1;
  mp.MPAllowState = 1;
  mp.MPXLimitEnd = mp.MPYLimitEnd = 30;
  ApplySizeFilter(grid, mp, 64, 64);
  EXPECT_EQ(grid.at(0, 0).status, 1);
  mp.MPXLimitEnd = 10;
  ApplySizeFilter(grid, mp, 64, 64);
  EXPECT_EQ(grid.at(0, 0).status, 3);
  mp.MPAllowState = 0;  // accept only when both lie outside
  mp.MPYLimitEnd = 10;
  ApplySizeFilter(grid, mp, 64, 64);
  EXPECT_EQ(grid.at(0, 0).status, 1);
}

}  // namespace
}  // namespace zorvik
