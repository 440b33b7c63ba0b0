// Beam verdicts on simulated captures: a clean screen flags nothing, a blocked beam and a dead
// cell are found whatever the fingers do, and a capture that cannot tell says so.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tools/common/beam_report.h"
#include "tools/common/section_json.h"
#include "usbsvc/touch_sharing.h"

namespace zorvik {
namespace {

constexpr int kCx = 64;
constexpr int kCy = 48;

struct Finger {
  double x;  // centre, in cells
  double y;
  int width;  // cells
};

// A simulated sensor: fingers shade cells at level 100; some cells are forced.
struct Sensor {
  std::vector<int> blocked_x;
  std::vector<int> dead_x;
  std::vector<int> dead_y;
  double blocked_share = 1.0;  // a dirty beam that flickers
  std::mt19937 random{7};

  std::vector<std::uint8_t> Levels(const std::vector<Finger>& fingers) {
    std::vector<std::uint8_t> levels(kCx + kCy, 0);
    const auto shade = [&](int offset, int cells, double at, int width) {
      const int from = static_cast<int>(at) - width / 2;
      for (int i = std::max(from, 0); i < std::min(from + width, cells); ++i)
        levels[offset + i] = 100;
    };
    for (const Finger& f : fingers) {
      shade(0, kCx, f.x, f.width);
      shade(kCx, kCy, f.y, f.width);
    }
    for (const int i : blocked_x) {
      if (std::uniform_real_distribution<double>(0, 1)(random) < blocked_share) levels[i] = 90;
    }
    for (const int i : dead_x)
      levels[i] = 0;
    for (const int i : dead_y)
      levels[kCx + i] = 0;
    return levels;
  }
};

void Feed(BeamCounter& counter, const std::vector<std::uint8_t>& levels, std::uint8_t state = 1,
          std::uint16_t cx = kCx, std::uint16_t cy = kCy) {
  RawCellFrame frame;
  frame.state = state;
  frame.header = {static_cast<std::uint16_t>(levels.size()), cx, cy};
  frame.levels = levels;
  counter.Add(frame);
}

// The captures the thresholds were chosen on: how a support engineer is told to touch the
// screen (sweeps, taps, scribbling, two fingers).
enum class Gesture { kSweep, kTaps, kScribble, kTwoFingers };

BeamReport Capture(Sensor& sensor, Gesture gesture, int frames = 600) {
  BeamCounter counter;
  std::mt19937 random(11);
  const auto uniform = [&](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random);
  };
  Finger a{kCx / 2.0, kCy / 2.0, 4};
  Finger b{10, 10, 3};
  int hold = 0;
  for (int k = 0; k < frames; ++k) {
    std::vector<Finger> fingers;
    switch (gesture) {
      case Gesture::kSweep: {
        double t = (k % 200) / 199.0;
        if ((k / 200) % 2) t = 1 - t;
        fingers = {{t * (kCx - 1), t * (kCy - 1), 4}};
        break;
      }
      case Gesture::kTaps:
        if (hold-- <= 0) {
          a = {uniform(0, kCx - 1), uniform(0, kCy - 1), 3 + static_cast<int>(uniform(0, 3))};
          hold = 20 + static_cast<int>(uniform(0, 40));
        }
        fingers = {{a.x + uniform(-0.5, 0.5), a.y + uniform(-0.5, 0.5), a.width}};
        break;
      case Gesture::kScribble:
        a.x = std::clamp(a.x + uniform(-1.5, 1.5), 0.0, kCx - 1.0);
        a.y = std::clamp(a.y + uniform(-1.5, 1.5), 0.0, kCy - 1.0);
        fingers = {a};
        break;
      case Gesture::kTwoFingers:
        for (Finger* f : {&a, &b}) {
          f->x = std::clamp(f->x + uniform(-2, 2), 0.0, kCx - 1.0);
          f->y = std::clamp(f->y + uniform(-2, 2), 0.0, kCy - 1.0);
        }
        fingers = {a, {b.x, b.y, 5}};
        break;
    }
    Feed(counter, sensor.Levels(fingers));
  }
  return counter.Report();
}

std::vector<int> With(const BeamAxis& axis, BeamVerdict verdict) {
  std::vector<int> cells;
  for (std::size_t i = 0; i < axis.cells.size(); ++i) {
    if (axis.cells[i].verdict == verdict) cells.push_back(static_cast<int>(i));
  }
  return cells;
}

constexpr Gesture kGestures[] = {Gesture::kSweep, Gesture::kTaps, Gesture::kScribble,
                                 Gesture::kTwoFingers};

TEST(BeamReport, CleanCapturesFlagNothing) {
  for (const Gesture gesture : kGestures) {
    Sensor sensor;
    const BeamReport report = Capture(sensor, gesture);
    SCOPED_TRACE(static_cast<int>(gesture));
    EXPECT_EQ(report.frames, 600u);
    for (const BeamAxis* axis : {&report.x, &report.y}) {
      EXPECT_TRUE(With(*axis, BeamVerdict::kBlocked).empty());
      EXPECT_TRUE(With(*axis, BeamVerdict::kDead).empty());
    }
  }
}

TEST(BeamReport, BlockedBeamIsFoundWhateverTheFingersDo) {
  for (const Gesture gesture : kGestures) {
    SCOPED_TRACE(static_cast<int>(gesture));
    Sensor sensor;
    sensor.blocked_x = {20};
    BeamReport report = Capture(sensor, gesture);
    EXPECT_EQ(With(report.x, BeamVerdict::kBlocked), std::vector<int>{20});
    // Its neighbours, free while a finger stops next to it, are not taken for dead ones.
    EXPECT_TRUE(With(report.x, BeamVerdict::kDead).empty());
    EXPECT_TRUE(With(report.y, BeamVerdict::kBlocked).empty());

    sensor.blocked_share = 0.9;  // dirt: dark in nine frames of ten
    report = Capture(sensor, gesture);
    EXPECT_EQ(With(report.x, BeamVerdict::kBlocked), std::vector<int>{20});
  }
}

TEST(BeamReport, DeadCellsAreFoundWhereFingersPassOverThem) {
  for (const Gesture gesture : {Gesture::kSweep, Gesture::kScribble, Gesture::kTwoFingers}) {
    SCOPED_TRACE(static_cast<int>(gesture));
    Sensor sensor;
    sensor.dead_x = {30};
    sensor.dead_y = {24, 25};  // two side by side split a finger's shadow as well
    const BeamReport report = Capture(sensor, gesture);
    EXPECT_EQ(With(report.x, BeamVerdict::kDead), std::vector<int>{30});
    EXPECT_EQ(With(report.y, BeamVerdict::kDead), (std::vector<int>{24, 25}));
    EXPECT_TRUE(With(report.x, BeamVerdict::kBlocked).empty());
  }
}

TEST(BeamReport, CapturesThatCannotTellGiveNoVerdict) {
  // A finger held still shades its cells in every frame: not a blocked beam. One resting most
  // of the time and then sweeping the screen is not either; a blocked beam elsewhere is found.
  for (const int rest_frames : {300, 480}) {
    BeamCounter held;
    Sensor sensor;
    sensor.blocked_x = {50};
    for (int k = 0; k < rest_frames; ++k)
      Feed(held, sensor.Levels({{30, 20, 4}}));
    for (int k = 0; k < 600 - rest_frames; ++k)
      Feed(held, sensor.Levels({{k * 63.0 / 120, k * 47.0 / 120, 4}}));
    const BeamReport report = held.Report();
    EXPECT_EQ(With(report.x, BeamVerdict::kBlocked), std::vector<int>{50});
    EXPECT_TRUE(With(report.y, BeamVerdict::kBlocked).empty());
    EXPECT_TRUE(With(report.x, BeamVerdict::kDead).empty());
  }
  BeamCounter held;
  Sensor sensor;
  for (int k = 0; k < 300; ++k)
    Feed(held, sensor.Levels({{30, 20, 4}}));
  BeamReport report = held.Report();
  EXPECT_TRUE(With(report.x, BeamVerdict::kBlocked).empty());
  EXPECT_NE(BeamTable(report).find("x: 64 cells saw shadow elsewhere in fewer than 20 frames"),
            std::string::npos)
      << BeamTable(report);

  // Too few frames, even with a cell dark in all of them and another never lit.
  BeamCounter few;
  sensor.blocked_x = {5};
  sensor.dead_x = {40};
  for (int k = 0; k < 49; ++k)
    Feed(few, sensor.Levels({{2.0 + k, 40, 5}}));
  report = few.Report();
  EXPECT_TRUE(With(report.x, BeamVerdict::kBlocked).empty());
  EXPECT_TRUE(With(report.x, BeamVerdict::kDead).empty());
  EXPECT_NE(BeamTable(report).find("no cell judged"), std::string::npos);

  // An edge cell has a neighbour on one side only: a finger at the bezel and a finger one cell
  // from it look alike, so the edge is not judged dead.
  sensor = Sensor{};
  sensor.dead_x = {0};
  report = Capture(sensor, Gesture::kSweep);
  EXPECT_TRUE(With(report.x, BeamVerdict::kDead).empty());
}

TEST(BeamReport, OnlyTouchFramesOfTheFirstGeometryCount) {
  BeamCounter counter;
  std::vector<std::uint8_t> dark(kCx + kCy, 100);
  Feed(counter, dark, static_cast<std::uint8_t>(RawCellState::kUp));  // all lifted
  Feed(counter, std::vector<std::uint8_t>(kCx + kCy, 0), 2);
  Feed(counter, std::vector<std::uint8_t>(40, 100), 1, 20, 20);  // another sensor
  Feed(counter, std::vector<std::uint8_t>(2, 100), 1, 1, 1);     // no pitch
  // Levels beyond those received read as free: n covers only the first X cell here.
  Feed(counter, std::vector<std::uint8_t>(1, 100), 1);
  const BeamReport report = counter.Report();
  EXPECT_EQ(report.frames, 2u);
  EXPECT_EQ(report.skipped, 2u);
  EXPECT_EQ(report.x.cells[0].shadowed, 1u);
  EXPECT_EQ(report.x.cells[1].shadowed, 0u);
  EXPECT_EQ(report.y.cells[kCy - 1].shadowed, 0u);
}

TEST(BeamReport, OutputsNameTheFlaggedCells) {
  Sensor sensor;
  sensor.blocked_x = {20};
  sensor.dead_x = {30};
  const BeamReport report = Capture(sensor, Gesture::kSweep);
  const std::string json = BeamJson(report);
  EXPECT_EQ(json.find(R"({"beams":{"frames":600,"skipped":0,"cx":64,"cy":48,"x":{"shadowed":[)"),
            0u)
      << json;
  EXPECT_NE(json.find(R"(,600,36,36,)"), std::string::npos) << json;  // cell 20, in every frame
  EXPECT_NE(json.find(R"("blocked":[20],"dead":[30]},"y":{"shadowed":[)"), std::string::npos);

  const std::string table = BeamTable(report);
  EXPECT_NE(table.find("x       20   100.0 %         100.0 %"), std::string::npos) << table;
  EXPECT_NE(table.find("blocked\n"), std::string::npos);
  EXPECT_NE(table.find("dead\n"), std::string::npos);

  const std::string svg = BeamStripSvg(report);
  std::size_t rects = 0;
  for (std::size_t at = svg.find("<rect class="); at != std::string::npos;
       at = svg.find("<rect class=", at + 1))
    ++rects;
  EXPECT_EQ(rects, static_cast<std::size_t>(kCx + kCy));
  EXPECT_NE(svg.find(R"(<rect class="blocked" x="360" y="40")"), std::string::npos) << svg;
  EXPECT_NE(svg.find(R"(<rect class="dead" x="520" y="40")"), std::string::npos);
  EXPECT_EQ(svg.rfind("</svg>\n"), svg.size() - 7);
}

TEST(BeamReport, CellLinesOfTheReplayToolReadBack) {
  std::vector<std::uint8_t> section(kRawCellSectionSize, 0);
  const std::vector<std::uint8_t> levels = {0, 100, 51, 50, 0, 255};
  WriteRawCellSection(section, RawCellState::kTouching, {6, 3, 3}, levels);
  const std::string line = RawCellSectionJson(section, true);
  EXPECT_EQ(line, R"({"cells":{"state":1,"n":6,"cx":3,"cy":3,"levels":"0064333200ff"}})");
  std::vector<std::uint8_t> storage;
  const auto frame = ParseRawCellLine(line, &storage);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->state, 1);
  EXPECT_EQ((std::vector<std::uint8_t>(frame->levels.begin(), frame->levels.end())), levels);

  for (const char* other : {
           R"({"cells":{"state":1,"n":6,"cx":3,"cy":3}})",                   // no levels
           R"({"cells":{"state":1,"n":6,"cx":3,"cy":3,"levels":"0064x"}})",  // not hex
           R"({"points":{"status":1}})",
           "# a comment",
       }) {
    EXPECT_FALSE(ParseRawCellLine(other, &storage)) << other;
  }
}

}  // namespace
}  // namespace zorvik
