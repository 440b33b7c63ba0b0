// The views' reading of the shared sections, with counts any process may have written; the
// ellipses by rotation, the cell colours and texts; and the single-point drawing test's pen.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/memory_settings_store.h"
#include "common/settings_schema.h"
#include "panel/touch_view_model.h"

namespace zorvik::panel {
namespace {

class PointSection {
 public:
  PointSection() : bytes_(kPointSectionBytes) {}
  void Header(std::uint32_t state, std::uint32_t rows, std::uint32_t columns) {
    Put32(0, state);
    Put32(8, rows);
    Put32(12, columns);
  }
  void Record(std::size_t r, std::size_t c, std::uint16_t status, std::uint16_t x, std::uint16_t y,
              std::uint16_t w = 20, std::uint16_t h = 20) {
    const std::size_t at = 16 + (r * 100 + c) * 24;
    Put16(at, status);
    Put16(at + 4, w);
    Put16(at + 6, h);
    Put16(at + 12, x);
    Put16(at + 14, y);
  }
  std::span<const std::uint8_t> view() const { return bytes_; }

  // Every record (r, c) drawn, and the number of rows finished.
  std::pair<std::vector<std::string>, int> Drawn() const {
    std::vector<std::string> rows;
    int done = 0;
    ForEachTouchPoint(
        view(), ReadPointFrame(view()),
        [&](const TouchPoint& p) { rows.push_back(PointRowText(p)); }, [&] { ++done; });
    return {rows, done};
  }

 private:
  void Put16(std::size_t at, std::uint16_t v) { std::memcpy(&bytes_[at], &v, 2); }
  void Put32(std::size_t at, std::uint32_t v) { std::memcpy(&bytes_[at], &v, 4); }
  std::vector<std::uint8_t> bytes_;
};

TEST(PointSectionReading, OnlyStatusOneRecordsWithinTheCountsAreDrawnRowByRow) {
  PointSection section;
  section.Header(kTouchDown, 2, 3);
  section.Record(0, 1, 1, 100, 200);
  section.Record(1, 2, 1, 300, 400);
  section.Record(0, 0, 2, 5, 5);  // ghost
  section.Record(1, 0, 3, 6, 6);  // rejected
  section.Record(2, 0, 1, 7, 7);  // beyond the rows in use: older contents
  section.Record(0, 3, 1, 8, 8);  // beyond the columns in use
  const auto [rows, done] = section.Drawn();
  EXPECT_EQ(rows,
            (std::vector<std::string>{"P(00,01)=(000100,000200)", "P(01,02)=(000300,000400)"}));
  EXPECT_EQ(done, 2);
}

TEST(PointSectionReading, HostileCountsStayWithinTheGrid) {
  PointSection section;
  section.Header(kTouchMove, 0x7FFFFFFF, 0xFFFFFFFF);
  section.Record(99, 99, 1, 1, 2);
  const PointFrame frame = ReadPointFrame(section.view());
  EXPECT_EQ((std::pair{frame.rows, frame.columns}), (std::pair{100u, 100u}));
  const auto [rows, done] = section.Drawn();
  EXPECT_EQ(rows, std::vector<std::string>{"P(99,99)=(000001,000002)"});
  EXPECT_EQ(done, 100);
}

TEST(PointSectionReading, AViewSmallerThanTheSectionReadsAsNoFrame) {
  // A section created first by another process with a smaller size.
  const std::vector<std::uint8_t> small(4096, 0xFF);
  const PointFrame frame = ReadPointFrame(small);
  EXPECT_EQ((std::array{frame.rows, frame.columns}), (std::array{0u, 0u}));
  int drawn = 0;
  ForEachTouchPoint(
      small, PointFrame{1, 100, 100}, [&](const TouchPoint&) { ++drawn; }, [] {});
  EXPECT_EQ(drawn, 0);
}

std::vector<std::uint8_t> RawCells(std::uint16_t nx, std::uint16_t ny) {
  std::vector<std::uint8_t> bytes(kRawCellSectionBytes, 0);
  std::memcpy(&bytes[4], &nx, 2);
  std::memcpy(&bytes[6], &ny, 2);
  return bytes;
}

TEST(RawCellSectionReading, CountsAreBoundedByTheCellsTheSectionHolds) {
  const auto plain = RawCells(64, 48);
  RawCellFrame frame = ReadRawCellFrame(plain);
  EXPECT_EQ((std::array{frame.nx, frame.ny}), (std::array{64u, 48u}));
  EXPECT_EQ(frame.levels.size(), 112u);

  frame = ReadRawCellFrame(RawCells(0xFFFF, 0xFFFF));
  EXPECT_EQ((std::array{frame.nx, frame.ny}), (std::array{1024u, 0u}));
  frame = ReadRawCellFrame(RawCells(1000, 0x7FFF));
  EXPECT_EQ((std::array{frame.nx, frame.ny}), (std::array{1000u, 24u}));
  EXPECT_EQ(frame.levels.size(), 1024u);  // ends at the section's last byte
  frame = ReadRawCellFrame(std::vector<std::uint8_t>(100, 0xFF));
  EXPECT_EQ((std::array{frame.nx, frame.ny}), (std::array{0u, 0u}));
}

TEST(RawCellSectionReading, XCellsComeFirstThenYCells) {
  auto bytes = RawCells(3, 2);
  for (int i = 0; i < 5; ++i)
    bytes[8 + i] = static_cast<std::uint8_t>(10 * (i + 1));
  const RawCellFrame frame = ReadRawCellFrame(bytes);
  EXPECT_EQ(frame.x_level(2), 30);
  EXPECT_EQ(frame.y_level(0), 40);
  EXPECT_EQ(frame.y_level(1), 50);
}

TEST(TouchEllipses, PointByRotation) {
  const ViewSize screen{1024, 768};
  const TouchPoint point{0, 0, 20, 20, 100, 100};
  EXPECT_EQ(PointEllipse(0, point, screen), (EllipseBox{90, 90, 110, 110}));
  EXPECT_EQ(PointEllipse(45, point, screen), (EllipseBox{90, 90, 110, 110}));  // unlisted
  EXPECT_EQ(PointEllipse(180, point, screen), (EllipseBox{934, 678, 914, 658}));
  EXPECT_EQ(PointEllipse(90, point, screen), (EllipseBox{934, 90, 914, 110}));
  EXPECT_EQ(PointEllipse(270, point, screen), (EllipseBox{90, 678, 110, 658}));
  EXPECT_EQ(PointEllipse(360, point, screen), (EllipseBox{120, 67, 146, 82}));
  // Odd sizes use integer halves.
  EXPECT_EQ(PointEllipse(0, TouchPoint{0, 0, 21, 3, 50, 60}, screen), (EllipseBox{40, 59, 60, 61}));
  // A zero-size view cannot make a conversion undefined.
  EXPECT_EQ(PointEllipse(360, point, ViewSize{0, 0}), (EllipseBox{0, 0, 0, 0}));
}

TEST(TouchEllipses, CellByRotation) {
  const ViewSize screen{1024, 768};
  const CellGrid grid = CellGridOf(screen, 64, 48);  // 16 x 16 pixel cells
  EXPECT_EQ(CellEllipse(0, 2, 3, grid, screen), (EllipseBox{32, 48, 48, 64}));
  EXPECT_EQ(CellEllipse(180, 2, 3, grid, screen), (EllipseBox{992, 720, 976, 704}));
  EXPECT_EQ(CellEllipse(90, 3, 3, grid, screen), (EllipseBox{960, 36, 938, 48}));
  EXPECT_EQ(CellEllipse(270, 3, 3, grid, screen), (EllipseBox{64, 732, 85, 720}));
  EXPECT_EQ(CellEllipse(360, 3, 3, grid, screen), (EllipseBox{64, 36, 85, 48}));
}

TEST(CellColours, OnlyLevelsAbove50AreShadowedAndTheScaleMapsPercentages) {
  EXPECT_FALSE(IsShadowed(50));
  EXPECT_TRUE(IsShadowed(51));
  EXPECT_EQ(CellColourOf(100, 100), (CellColour{255, 255, 255}));
  EXPECT_EQ(CellColourOf(51, 60), (CellColour{130, 255, 153}));
  EXPECT_EQ(CellColourOf(255, 200).red, 650 & 0xFF);  // levels past 100 keep the low byte
}

TEST(PointViewTexts, StatesAndRows) {
  EXPECT_STREQ(StateText(1), "State=Touch down");
  EXPECT_STREQ(StateText(2), "State=Touch move");
  EXPECT_STREQ(StateText(0), "State=Touch up  ");
  EXPECT_STREQ(StateText(-7), "State=Touch up  ");
  EXPECT_EQ(PointRowText({12, 3, 0, 0, 65535, 7}), "P(12,03)=(065535,000007)");
}

class RecordingCanvas : public DrawingCanvas {
 public:
  std::vector<std::string> drawn;
  void Cross(Pen pen, std::int32_t x, std::int32_t y) override {
    drawn.push_back(std::string(pen == Pen::kYellow ? "yellow" : "red") + " cross " +
                    std::to_string(x) + "," + std::to_string(y));
  }
  void Line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) override {
    drawn.push_back("line " + std::to_string(x0) + "," + std::to_string(y0) + "-" +
                    std::to_string(x1) + "," + std::to_string(y1));
  }
  void Text(const std::string& text) override { drawn.push_back(text); }
};

TEST(SinglePointDrawingTest, PressAndReleaseWithoutMovingLeaveTwoCrossesInOnePlace) {
  DrawingTest test;
  RecordingCanvas canvas;
  test.ButtonDown(40, 50, canvas);
  test.ButtonUp(40, 50, canvas);
  EXPECT_EQ(canvas.drawn, (std::vector<std::string>{"yellow cross 40,50", "X:000040, Y:000050",
                                                    "red cross 40,50", "X:000040, Y:000050"}));
}

TEST(SinglePointDrawingTest, ADragDrawsLinesFromPointToPointAndTheReleaseCrossesTheLastOne) {
  DrawingTest test;
  RecordingCanvas canvas;
  test.Move(5, 5, false, canvas);  // hovering draws nothing but the position
  test.ButtonDown(10, 10, canvas);
  test.Move(20, 15, true, canvas);
  test.Move(30, 25, true, canvas);
  test.ButtonUp(31, 26, canvas);
  test.Move(60, 60, false, canvas);  // pen up again
  EXPECT_EQ(canvas.drawn, (std::vector<std::string>{
                              "X:000005, Y:000005", "yellow cross 10,10", "X:000010, Y:000010",
                              "X:000020, Y:000015", "line 10,10-20,15", "X:20, Y:15",
                              "X:000030, Y:000025", "line 20,15-30,25", "X:30, Y:25",
                              "red cross 30,25", "X:000030, Y:000025", "X:000060, Y:000060"}));
}

TEST(SinglePointDrawingTest, MovingWithTheLeftButtonAloneStartsALineFromTheLastRelease) {
  DrawingTest test;
  RecordingCanvas canvas;
  test.ButtonDown(1, 1, canvas);
  test.ButtonUp(7, 8, canvas);
  canvas.drawn.clear();
  test.Move(9, 9, true, canvas);  // the press happened elsewhere (another window)
  EXPECT_EQ(canvas.drawn,
            (std::vector<std::string>{"X:000009, Y:000009", "line 7,8-9,9", "X:9, Y:9"}));
}

TEST(ScreenRotationReading, AKeptKeySeesChangesAndADeletedKeyAnswersAsMissingUntilItIsBack) {
  MemorySettingsStore store;
  ScreenRotationReader reader(store);
  const auto set = [&](std::uint32_t value) {
    const ScopedKey general =
        CreateKey(store, store.LocalMachine(), schema::kGeneralKey, key_rights::kSetValue);
    ASSERT_EQ(WriteDword(store, general.get(), schema::kScreenRotateFlag, value), 0u);
  };
  EXPECT_EQ(reader.Read(), std::nullopt);  // no General key
  set(90);
  EXPECT_EQ(reader.Read(), 90);
  set(270);
  EXPECT_EQ(reader.Read(), 270);  // a change through another handle
  const ScopedKey root = OpenKey(store, store.LocalMachine(), schema::kRootKey,
                                 key_rights::kEnumerateSubKeys | key_rights::kDelete);
  ASSERT_EQ(DeleteKeyTree(store, root.get(), "General"), 0u);
  EXPECT_EQ(reader.Read(), std::nullopt);  // the kept handle's key is gone
  EXPECT_EQ(reader.Read(), std::nullopt);
  {
    const ScopedKey general =
        CreateKey(store, store.LocalMachine(), schema::kGeneralKey, key_rights::kSetValue);
  }
  EXPECT_EQ(reader.Read(), 0);  // back, without the value
  set(180);
  EXPECT_EQ(reader.Read(), 180);
  EXPECT_EQ(ReadScreenRotation(store), 180);
}

}  // namespace
}  // namespace zorvik::panel
