// Single-touch streams through the whole pipeline: framing, acknowledges, ticks, pointer records.
#include "tests/usbsvc/pipeline_harness.h"

namespace zorvik::testing {
namespace {

using Lines = std::vector<std::string>;

class PointerStreamTest : public PipelineTest {};

TEST_F(PointerStreamTest, TapGivesMovePressThenRelease) {
  Start();
  Feed("81 40 00 40 00\n80 40 00 40 00");
  // The first press after a filter reset lands on its eleventh output: 32767 -> 32656.
  EXPECT_EQ(Take(), (Lines{kBeep, Move(32656, 32656), Button(1), kAck, Button(2), kAck}));
}

TEST_F(PointerStreamTest, FramingAcrossChunksAndWithoutStartBytes) {
  Start();
  Feed("81 10\n00 08 00");  // one frame split over two reads: X = 2048, Y = 1024
  EXPECT_EQ(Take("write"), (Lines{kAck}));
  Feed("81 10 00 08 00 7f 20 00 20 00");  // a point; the 5th byte resets; 4 more: a point
  EXPECT_EQ(Take("write"), (Lines{kAck, kAck}));
  Feed("81 40 00 40 00");  // still down: no second tick
  EXPECT_EQ(Take("beep"), Lines{});
}

TEST_F(PointerStreamTest, OversizedChunksAndOverflowsAreDropped) {
  Start();
  Feed(Hex(std::vector<std::uint8_t>(1024, 0x81)));  // 1024 bytes or more: dropped whole
  EXPECT_EQ(Take(), Lines{});
  std::vector<std::uint8_t> long_reply = {0x83, 0x00};
  long_reply.resize(1100, 0x00);  // a length that never completes: the buffer overflows
  session_->device().ParseChunk(std::span(long_reply).first(1000));
  session_->device().ParseChunk(std::span(long_reply).subspan(1000));
  EXPECT_EQ(Take(), Lines{});
}

TEST_F(PointerStreamTest, ModeZeroSmoothsModeTwoFollowsRaw) {
  Set("General\\MouseMode=dword:0");
  Start();
  Feed("81 40 00 40 00");
  Take();
  std::string last;
  for (int i = 0; i < 40; ++i) {
    Feed("81 40 00 40 00");
    last = Take("mouse").at(0);
  }
  EXPECT_EQ(last, Move(32766, 32766));  // settles on the finger (32767), less the truncation

  Set("General\\MouseMode=dword:2");
  Start();
  Feed("81 40 00 40 00\n81 20 00 20 00");
  EXPECT_EQ(Take("mouse"), (Lines{Move(32656, 32656), Button(1), Move(16383, 16383)}));
}

TEST_F(PointerStreamTest, ModeOnePressesOnceAndReleasesAtFirstContact) {
  Set("General\\MouseMode=dword:1");
  Start();
  Feed("81 40 00 40 00\n81 20 00 20 00\n81 10 00 10 00\n80 00 00 00 00");
  EXPECT_EQ(Take("mouse"), (Lines{Move(32656, 32656), Button(1), Button(2)}));
}

TEST_F(PointerStreamTest, DoubleClickSnapsInsideOneSecondOnly) {
  Start();
  Feed(
      "@time 2026-03-01T10:00:00.100Z\n81 40 00 40 00\n80 40 00 40 00\n@advance 200\n"
      "81 40 08 40 08\n80 40 08 40 08");
  // The second press lands exactly on the first one.
  EXPECT_EQ(Take("mouse"), (Lines{Move(32656, 32656), Button(1), Button(2), Move(32656, 32656),
                                  Button(1), Button(2)}));

  Start();
  Feed(
      "@time 2026-03-01T10:00:00.900Z\n81 40 00 40 00\n80 40 00 40 00\n@advance 300\n"
      "81 40 08 40 08");
  const Lines second = Take("mouse");
  ASSERT_EQ(second.size(), 5u);
  EXPECT_NE(second[3], Move(32656, 32656));  // 300 ms apart but across a second: no snap
}

TEST_F(PointerStreamTest, RightClickLastsOneTouchAndIsAcknowledged) {
  Set("General\\ClickRightLeft=dword:1");
  Start();
  Feed("81 40 00 40 00\n80 40 00 40 00\n81 40 00 40 00\n80 40 00 40 00");
  EXPECT_EQ(Take(), (Lines{kBeep, Move(32656, 32656), Button(4), kAck, Button(8),
                           R"({"signal":"MERIDAX_TOUCH_EVENT_3F98A_CLICKCHANGERECV"})", kAck, kBeep,
                           Move(32656, 32656), Button(1), kAck, Button(2), kAck}));
}

TEST_F(PointerStreamTest, TickAtReleaseInClickModeTwo) {
  Set("General\\ClickMode=dword:2");
  Start();
  Feed("81 40 00 40 00\n80 40 00 40 00\n80 40 00 40 00");
  EXPECT_EQ(Take("beep"), Lines{kBeep});  // the second lift is not a release of a touch
}

TEST_F(PointerStreamTest, MultiMonitorRecordsAreScaledAndFlagged) {
  Set("MonitorMaps\\MultiMonSupport=dword:1");
  Set("MonitorMaps\\SM_CXVIRTUALSCREEN=dword:800");  // 2048: monitor 1 of two side by side
  Set("MonitorMaps\\MonitorCount=dword:2");
  Set("MonitorMaps\\Display00\\CX=dword:400");
  Set("MonitorMaps\\Display01\\X=dword:400");
  Set("MonitorMaps\\Display01\\CX=dword:400");
  Set("MonitorMaps\\Display01\\AttachedDeviceNo=dword:1");
  Set("MonitorMaps\\Display01\\Device00=\\\\?\\replay#0");
  Start();
  Feed("81 00 00 00 00\n80 00 00 00 00");
  EXPECT_EQ(Take("mouse"),
            (Lines{R"({"mouse":{"flags":3,"buttons":0,"x":32767,"y":0,"extra":4294967281}})",
                   R"({"mouse":{"flags":3,"buttons":1,"x":0,"y":0,"extra":4294967281}})",
                   R"({"mouse":{"flags":3,"buttons":2,"x":0,"y":0,"extra":4294967281}})"}));
}

TEST_F(PointerStreamTest, OtherPlatformsUseMouseEventWithPositions) {
  ReplayOptions options;
  options.platform = Platform::kOther;
  Start(options);
  Feed("81 40 00 40 00\n80 40 00 40 00");
  EXPECT_EQ(Take("mouse_event"),
            (Lines{R"({"mouse_event":{"action":32769,"x":32656,"y":32656,"extra":4294967280}})",
                   R"({"mouse_event":{"action":32770,"x":32656,"y":32656,"extra":4294967280}})",
                   R"({"mouse_event":{"action":32772,"x":32656,"y":32656,"extra":4294967280}})"}));
}

TEST_F(PointerStreamTest, DegenerateSettingsProduceNoPoint) {
  Set("General\\MON00Divider=0");
  Start();
  Feed("81 40 00 40 00");
  EXPECT_EQ(Take("mouse"), Lines{});  // Divider 0: no point, the pointer stays

  Set("General\\MON00Divider=1");
  Set("MonitorMaps\\MonitorCount=dword:1");
  Set("MonitorMaps\\Display00\\CX=dword:0");
  Start();
  Feed("81 40 00 40 00");
  EXPECT_EQ(Take("mouse"), Lines{});  // a monitor 0 pixels wide: no division by zero
}

TEST_F(PointerStreamTest, RepliesReachTheRegistry) {
  Start();
  Feed("83 06 31 2e 30 32\n84 05 41 42 43\n82 04 ab a4");
  EXPECT_EQ(Take(),
            (Lines{R"({"reg":{"key":"USBAcitve\\USB01","name":"FirmwareVersion","value":"1.02"}})",
                   R"({"reg":{"key":"USBAcitve\\USB01","name":"DeviceID","value":"ABC"}})",
                   R"({"reg":{"key":"USBAcitve\\USB01","name":"DeviceActive","value":"Yes"}})"}));
  EXPECT_TRUE(session_->device().own_kind());
  Feed("82 04 12 34");
  EXPECT_FALSE(session_->device().own_kind());
}

}  // namespace
}  // namespace zorvik::testing
