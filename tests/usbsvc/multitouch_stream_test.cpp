// Cell-frame streams through the whole pipeline: candidate grid, ghosts, identifiers, pressure,
// velocity, touch correction, publication and its events, the popup gesture.
#include <algorithm>

#include "tests/usbsvc/pipeline_harness.h"

namespace zorvik::testing {
namespace {

using Lines = std::vector<std::string>;

constexpr std::int32_t kCx = 64;
constexpr std::int32_t kCy = 48;
constexpr char kPointAll[] =
    R"({"signal":"Global\\MERIDAX_MTOUCHPOINT_IPC_INTERFACE_0401_ZORVIK"})";
constexpr char kCellAll[] =
    R"({"signal":"Global\\MERIDAX_MTOUCHPOINT_IPC_ORG_INTERFACE_1A34_ZORVIK"})";
constexpr char kPoint[] = R"({"signal":"Global\\MERIDAX_MTOUCHPOINT_IPC_INTERFACE_0401"})";
constexpr char kCell[] = R"({"signal":"Global\\MERIDAX_MTOUCHPOINT_IPC_ORG_INTERFACE_1A34"})";
constexpr char kPopup[] = R"({"signal":"Global\\MERIDAX_MTOUCHPOINT_POPUP_EVENT"})";

bool Contains(const std::string& line, std::string_view part) {
  return line.find(part) != std::string::npos;
}

class MultitouchStreamTest : public PipelineTest {
 protected:
  // MPControl present: every value not given takes its "value absent" default.
  void EnablePointer() { Set("MPControl\\EnableMouseAction=dword:1"); }
};

TEST_F(MultitouchStreamTest, TwoFingersGiveTwoTouchesAndTwoGhosts) {
  Start();
  Frame(kCx, kCy, {{4000, 4000}, {12000, 12000}});
  const Lines lines = Take();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], kBeep);
  EXPECT_EQ(lines[1], R"({"cells":{"state":2,"n":112,"cx":64,"cy":48}})");
  EXPECT_TRUE(Contains(lines[2], R"({"mouse":{"flags":1,"buttons":0,)"));
  EXPECT_EQ(lines[3], Button(1));
  const std::string& points = lines[4];
  EXPECT_TRUE(Contains(points, R"("status":1,"count":2,"rows":2,"cols":2)")) << points;
  EXPECT_TRUE(Contains(points, R"({"r":0,"c":0,"status":1,"id":1,)")) << points;
  EXPECT_TRUE(Contains(points, R"({"r":0,"c":1,"status":2,"id":0,)")) << points;
  EXPECT_TRUE(Contains(points, R"({"r":1,"c":0,"status":2,"id":0,)")) << points;
  EXPECT_TRUE(Contains(points, R"({"r":1,"c":1,"status":1,"id":2,)")) << points;
  // A generic controller (no own-kind reply) sets only the two events every reader gets.
  EXPECT_EQ(lines[5], kPointAll);
  EXPECT_EQ(lines[6], kCellAll);
  EXPECT_EQ(lines[7], kAck);

  // The next frame keeps the identifiers with the fingers, whichever moved.
  Frame(kCx, kCy, {{4300, 4000}, {12000, 11800}});
  const Lines next = Take("points");
  ASSERT_EQ(next.size(), 1u);
  EXPECT_TRUE(Contains(next[0], R"("status":2,"count":2)")) << next[0];
  EXPECT_TRUE(Contains(next[0], R"({"r":0,"c":0,"status":1,"id":1,)")) << next[0];
  EXPECT_TRUE(Contains(next[0], R"({"r":1,"c":1,"status":1,"id":2,)")) << next[0];

  // All lifted: status 0 and both events once more; the release comes first.
  Frame(kCx, kCy, {});
  const Lines lifted = Take();
  ASSERT_GE(lifted.size(), 5u);
  EXPECT_EQ(lifted[0], Button(2));
  EXPECT_EQ(lifted[1], R"({"cells":{"state":0,"n":112,"cx":64,"cy":48}})");
  EXPECT_TRUE(Contains(lifted[2], R"({"points":{"status":0,)")) << lifted[2];
  EXPECT_EQ(lifted[3], kPointAll);
  EXPECT_EQ(lifted[4], kCellAll);
}

TEST_F(MultitouchStreamTest, OwnKindControllerSetsAllFourEvents) {
  Start();
  Feed("82 04 ab a4");
  Take();
  Frame(kCx, kCy, {{8000, 8000}});
  EXPECT_EQ(Take("signal"), (Lines{kPoint, kCell, kPointAll, kCellAll}));
}

TEST_F(MultitouchStreamTest, PressureAcceptsATouchOnItsFourthFrame) {
  EnablePointer();
  Set("MPControl\\MPTouchPressure=dword:3");
  Start();
  for (int frame = 0; frame < 3; ++frame) {
    Frame(kCx, kCy, {{8000, 8000}});
    EXPECT_EQ(Take("mouse"), Lines{}) << "frame " << frame;
  }
  Frame(kCx, kCy, {{8000, 8000}});
  const Lines mouse = Take("mouse");
  ASSERT_EQ(mouse.size(), 2u);
  EXPECT_EQ(mouse[1], Button(1));
}

TEST_F(MultitouchStreamTest, EmptyMpControlKeyKeepsThePointerStill) {
  Set("MPControl\\MPTouchPressure=dword:0");  // EnableMouseAction now reads as 0
  Start();
  Frame(kCx, kCy, {{8000, 8000}});
  EXPECT_EQ(Take("mouse"), Lines{});
}

TEST_F(MultitouchStreamTest, JumpEndsTouchAndCorrectionIgnoresFramesUntilAllLift) {
  EnablePointer();
  Set("MPControl\\MPTouchVelocity=dword:100");
  Set("MPControl\\EnableTouchCorrect=dword:1");
  Start();
  Frame(kCx, kCy, {{4000, 8000}});
  Frame(kCx, kCy, {{4000, 8000}});
  Take();
  Frame(kCx, kCy, {{12000, 8000}});  // 500 pixels away in one frame
  const Lines jump = Take("mouse");
  ASSERT_EQ(jump.size(), 1u);
  EXPECT_EQ(jump[0], Button(2));
  for (int frame = 0; frame < 12; ++frame)
    Frame(kCx, kCy, {{12000, 8000}});
  EXPECT_EQ(Take(), Lines{});  // ignored: no acknowledge, no publication, no pointer
  Frame(kCx, kCy, {});
  EXPECT_EQ(Take("points").size(), 1u);
  Frame(kCx, kCy, {{12000, 8000}});
  EXPECT_EQ(Take("mouse").size(), 2u);  // a new touch: move and press
}

TEST_F(MultitouchStreamTest, PopupAfterLongHoldAtAnEnabledEdge) {
  Start();
  Feed("@time 2026-05-05T12:00:10.000Z");
  Frame(kCx, kCy, {{16224, 8000}});  // about 10 pixels from the right edge of 1024
  Feed("@advance 6000");
  Frame(kCx, kCy, {{16224, 8000}});
  Frame(kCx, kCy, {});
  const Lines signals = Take("signal");
  EXPECT_NE(std::find(signals.begin(), signals.end(), kPopup), signals.end());

  Frame(kCx, kCy, {{8192, 8000}});  // the centre: no popup
  Feed("@advance 6000");
  Frame(kCx, kCy, {});
  for (const std::string& line : Take("signal"))
    EXPECT_NE(line, kPopup);

  Feed("@time 2026-05-05T12:00:58.000Z");  // a hold across a change of minute
  Frame(kCx, kCy, {{16224, 8000}});
  Feed("@advance 6000");
  Frame(kCx, kCy, {});
  for (const std::string& line : Take("signal"))
    EXPECT_NE(line, kPopup);

  Set("MPControl\\MPAreaLimitOption=dword:7");  // right edge disabled
  Start();
  Frame(kCx, kCy, {{16224, 8000}});
  Feed("@advance 6000");
  Frame(kCx, kCy, {});
  for (const std::string& line : Take("signal"))
    EXPECT_NE(line, kPopup);
}

TEST_F(MultitouchStreamTest, BadGeometryIsAcknowledgedAndDropped) {
  Start();
  Feed("e1 00 03 00 01 00 02 64 64 64");  // one X cell: no pitch
  EXPECT_EQ(Take(), (Lines{kBeep, kAck}));
  Feed("e1 00 02 08 00 08 00 64 64");  // CX + CY = 2048: more than the level copy holds
  EXPECT_EQ(Take(), (Lines{kAck}));
}

}  // namespace
}  // namespace zorvik::testing
