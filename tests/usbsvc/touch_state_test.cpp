// The USB touch state machine through the whole pipeline, seen in the replay tool's
// --trace-states lines: each transition, in order with the effects of its action.
#include "tests/usbsvc/pipeline_harness.h"
#include "tools/touchreplay/replay_serial.h"

namespace zorvik::testing {
namespace {

using Lines = std::vector<std::string>;

constexpr std::int32_t kCx = 64;
constexpr std::int32_t kCy = 48;
constexpr char kAckSignal[] = R"({"signal":"MERIDAX_TOUCH_EVENT_3F98A_CLICKCHANGERECV"})";

class TouchStateTest : public PipelineTest {
 protected:
  void StartTraced() {
    ReplayOptions options;
    options.trace_states = true;
    Start(options);
  }

  // The described device's verbs.
  void TouchDown(std::int32_t x, std::int32_t y) {
    session_->device().ParseChunk(std::vector<std::uint8_t>{
        0x81, static_cast<std::uint8_t>(x / 128), static_cast<std::uint8_t>(x % 128),
        static_cast<std::uint8_t>(y / 128), static_cast<std::uint8_t>(y % 128)});
  }
  void Lift() { Feed("80 00 00 00 00"); }
  void Cells(const std::vector<Finger>& fingers) {
    session_->device().ParseChunk(CellFrame(kCx, kCy, fingers));
  }

  // The lines since the last call, transitions shortened to "from -event-> to".
  Lines Output() {
    Lines out;
    for (const std::string& line : Take())
      out.push_back(Shorten(line));
    return out;
  }
  // Only the transitions.
  Lines Transitions() {
    Lines out;
    for (const std::string& line : Output()) {
      if (line.find("->") != std::string::npos) out.push_back(line);
    }
    return out;
  }

  static std::string Shorten(const std::string& line) {
    static constexpr std::string_view kPrefix = R"({"transition":{"machine":"usb-touch","from":")";
    if (line.rfind(kPrefix, 0) != 0) return line;
    const auto field = [&](std::string_view name) {
      const std::string key = "\"" + std::string(name) + "\":\"";
      const std::size_t at = line.find(key) + key.size();
      return line.substr(at, line.find('"', at) - at);
    };
    return field("from") + " -" + field("event") + "-> " + field("to");
  }
};

TEST_F(TouchStateTest, TicksOnceAtTouchDownInClickModeOne) {
  Set("General\\MouseMode=dword:2");  // raw moves
  StartTraced();
  TouchDown(8192, 8192);
  TouchDown(8192, 8192);  // a second report while down: no second tick
  Lift();
  EXPECT_EQ(Output(),
            (Lines{"up -finger-down-> down", kBeep, Move(32656, 32656), Button(1),
                   "down -contact-tracked-> touching", kAck, "touching -finger-down-> touching",
                   Move(32767, 32767), kAck, "touching -finger-up-> up", Button(2), kAck}));
}

TEST_F(TouchStateTest, TicksAtLiftOnlyAfterATouchInClickModeTwo) {
  Set("General\\ClickMode=dword:2");
  StartTraced();
  Lift();  // a release while up: released again, but no tick
  EXPECT_EQ(Output(), (Lines{"up -finger-up-> up", Button(2), kAck}));
  TouchDown(8192, 8192);
  Lift();
  const Lines lift = Output();
  ASSERT_GE(lift.size(), 4u);
  EXPECT_EQ(lift[0], "up -finger-down-> down");  // no tick at touch-down
  EXPECT_NE(lift[1], kBeep);
  EXPECT_EQ((Lines{lift.end() - 4, lift.end()}),
            (Lines{"touching -finger-up-> up", Button(2), kBeep, kAck}));
}

TEST_F(TouchStateTest, RightClickLastsOneTouch) {
  Set("General\\ClickRightLeft=dword:1");
  StartTraced();
  TouchDown(8192, 8192);
  EXPECT_EQ(Take("mouse")[1], Button(4));  // right press
  Lift();
  EXPECT_EQ(Output(), (Lines{"touching -finger-up-> up", Button(8), kAckSignal, kAck}));
  TouchDown(8192, 8192);
  EXPECT_EQ(Take("mouse")[1], Button(1));  // left again
  Lift();
  EXPECT_EQ(Output(), (Lines{"touching -finger-up-> up", Button(2), kAck}));
}

TEST_F(TouchStateTest, PointsWhileUpMoveNothingAndUntrackedModesStayDown) {
  StartTraced();
  // Points after the lift (the byte after a point is skipped): acknowledged only.
  Feed("80 40 00 40 00\n00 40 00 40 00");
  EXPECT_EQ(Output(), (Lines{"up -finger-up-> up", Button(2), kAck, kAck}));

  Set("General\\MouseMode=dword:3");  // no mode: every report is a new first contact
  StartTraced();
  TouchDown(8192, 8192);
  TouchDown(4096, 4096);
  EXPECT_EQ(Transitions(), (Lines{"up -finger-down-> down", "down -finger-down-> down"}));
}

TEST_F(TouchStateTest, CellFramesFollowTheTouchAndLiftReleasesWithMouseAction) {
  Set("MPControl\\EnableMouseAction=dword:1");
  StartTraced();
  Cells({{8000, 8000}});
  Cells({{8100, 8000}});
  Cells({});
  EXPECT_EQ(Transitions(),
            (Lines{"up -cells-touched-> down", "down -contact-tracked-> touching",
                   "touching -cells-touched-> touching", "touching -cells-lifted-> up"}));
}

TEST_F(TouchStateTest, WithoutMouseActionAcceptanceStartsTheContactAndLiftReleasesNothing) {
  Set("MPControl\\MPTouchPressure=dword:1");  // EnableMouseAction reads as 0
  StartTraced();
  Cells({{8000, 8000}});  // not accepted yet: the touch is up again
  Cells({{8000, 8000}});
  Cells({});
  const Lines out = Output();
  Lines transitions;
  for (const std::string& line : out) {
    if (line.find("->") != std::string::npos) transitions.push_back(line);
    EXPECT_EQ(line.rfind(R"({"mouse")", 0), std::string::npos) << line;
  }
  EXPECT_EQ(transitions, (Lines{"up -cells-touched-> down", "down -not-accepted-> up",
                                "up -cells-touched-> down", "down -contact-tracked-> touching",
                                "touching -cells-lifted-> up"}));
}

TEST_F(TouchStateTest, JumpLiftIgnoresTouchedFramesUntilAllLift) {
  Set("MPControl\\EnableMouseAction=dword:1");
  Set("MPControl\\MPTouchVelocity=dword:100");
  Set("MPControl\\EnableTouchCorrect=dword:1");
  StartTraced();
  Cells({{4000, 8000}});
  Take();
  Cells({{12000, 8000}});  // far away in one frame: the touch is lost
  EXPECT_EQ(Transitions(),
            (Lines{"touching -cells-touched-> touching", "touching -touch-lost-> up"}));
  Cells({{12000, 8000}});
  EXPECT_EQ(Output(), Lines{});  // ignored: no event, no acknowledge
  TouchDown(8192, 8192);         // a single touch is not ignored
  Lift();
  Cells({{12000, 8000}});  // still ignored: only all-lifted ends the jump
  EXPECT_EQ(Transitions(), (Lines{"up -finger-down-> down", "down -contact-tracked-> touching",
                                  "touching -finger-up-> up"}));
  Cells({});
  Cells({{12000, 8000}});
  EXPECT_EQ(Transitions(), (Lines{"up -cells-lifted-> up", "up -cells-touched-> down",
                                  "down -contact-tracked-> touching"}));
}

TEST_F(TouchStateTest, TransitionsCarryTheReplayClock) {
  StartTraced();
  Feed("@time 2026-03-04T05:06:07.890Z\n81 40 00 40 00");
  const Lines lines = Take();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0],
            R"({"transition":{"machine":"usb-touch","from":"up","event":"finger-down","to":"down",)"
            R"("t":"2026-03-04T05:06:07.890Z"}})");
}

TEST_F(TouchStateTest, WithoutTheOptionNoTransitionIsPrinted) {
  Start();
  TouchDown(8192, 8192);
  Lift();
  for (const std::string& line : Take())
    EXPECT_EQ(line.find("transition"), std::string::npos) << line;
}

// The serial mode prints its machine's transitions in the same stream, before each action's
// effects, stamped with the replay clock.
TEST(SerialReplayTrace, TransitionsPrecedeTheirEffects) {
  MemorySettingsStore store;
  ReplayOptions options;
  options.trace_states = true;
  Lines lines;
  ReplaySerialSession session(store, options, 1, [&](const std::string& l) { lines.push_back(l); });
  std::string error;
  for (const char* text : {"@time 2026-07-08T09:10:11.120Z", "81 00 00 00 00 00 00 00 00",
                           "80 00 00 00 00 00 00 00 00"}) {
    const auto line = ParseScriptLine(text, &error);
    ASSERT_TRUE(line) << error;
    session.Feed(*line);
  }
  const auto transition = [](std::string_view from, std::string_view event, std::string_view to) {
    return R"({"transition":{"machine":"serial-touch","from":")" + std::string(from) +
           R"(","event":")" + std::string(event) + R"(","to":")" + std::string(to) +
           R"(","t":"2026-07-08T09:10:11.120Z"}})";
  };
  constexpr char kPoints[] = R"({"signal":"MERIDAX_MTOUCHPOINT_IPC_INTERFACE"})";
  const auto serial = [](int status, int count) {
    return R"({"serial":{"status":)" + std::to_string(status) + R"(,"count":)" +
           std::to_string(count) + R"(,"points":[]}})";
  };
  EXPECT_EQ(lines, (Lines{transition("up", "touch-header", "down"), kBeep,
                          transition("down", "touch-frame", "tracking"), serial(1, 0), kPoints,
                          transition("tracking", "release-header", "up"), Button(2),
                          transition("up", "touch-frame", "up"), serial(0, 0), kPoints}));
}

}  // namespace
}  // namespace zorvik::testing
