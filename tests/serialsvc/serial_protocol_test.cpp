// The serial controller protocol with the byte sequences the controllers send.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "serialsvc/serial_protocol.h"

namespace zorvik {
namespace {

class RecordingSerialPorts final : public SerialDevicePorts, public PointerOutput {
 public:
  void Set(SerialSignal signal) override { signals.push_back(signal); }
  PointerOutput& pointer() override { return *this; }
  std::span<std::uint8_t> Section() override { return section; }
  std::mutex& SectionLock() override { return lock; }
  void WriteRecord(const MouseInputData& record) override {
    std::uint16_t buttons = 0;
    std::memcpy(&buttons, record.data() + 4, 2);
    releases.push_back(buttons);
  }
  void MouseEvent(std::uint32_t, std::int32_t, std::int32_t, std::uint32_t,
                  std::uint32_t) override {}

  std::int32_t Int(std::size_t offset) const {
    std::int32_t value = 0;
    std::memcpy(&value, section.data() + offset, 4);
    return value;
  }
  std::int16_t Field(std::size_t record, std::size_t offset) const {
    std::int16_t value = 0;
    std::memcpy(&value, section.data() + 8 + 20 * record + offset, 2);
    return value;
  }

  std::vector<SerialSignal> signals;
  std::vector<std::uint16_t> releases;
  std::vector<std::uint8_t> section = std::vector<std::uint8_t>(kSerialPointFrameSize);
  std::mutex lock;
};

class SerialProtocolTest : public ::testing::Test {
 protected:
  void Feed(std::vector<std::uint8_t> bytes) { decoder.Parse(bytes); }
  // A touch frame (0x81 or 0x80) with cX, cY and shadow records {xa, xb, ya, yb}.
  std::vector<std::uint8_t> Frame(std::uint8_t header, int cx, int cy,
                                  std::vector<std::array<int, 4>> records) {
    std::vector<std::uint8_t> bytes = {header,
                                       0,
                                       0,
                                       0,
                                       0,
                                       static_cast<std::uint8_t>(cx / 128),
                                       static_cast<std::uint8_t>(cx % 128),
                                       static_cast<std::uint8_t>(cy / 128),
                                       static_cast<std::uint8_t>(cy % 128)};
    for (const auto& r : records) {
      for (const int v : r) {
        bytes.push_back(static_cast<std::uint8_t>(v / 128));
        bytes.push_back(static_cast<std::uint8_t>(v % 128));
      }
    }
    return bytes;
  }
  std::vector<std::pair<int, int>> Pairs() {
    std::vector<std::pair<int, int>> pairs;
    const SerialPointFrame& frame = decoder.point_frame();
    for (int k = 0; k < frame.count; ++k) {
      pairs.emplace_back(frame.records[static_cast<std::size_t>(k)].x_index,
                         frame.records[static_cast<std::size_t>(k)].y_index);
    }
    return pairs;
  }

  RecordingSerialPorts ports;
  SerialTouchDecoder decoder{ports, Platform::kNt, {1024, 768}};
};

TEST(SerialCommandFrame, TypesAndValues) {
  EXPECT_EQ(SerialCommandFrame(1, 0), (std::array<std::uint8_t, 4>{0x82, 0x04, 0x0A, 0x0F}));
  EXPECT_EQ(SerialCommandFrame(4, 300), (std::array<std::uint8_t, 4>{0x85, 0x04, 2, 44}));
  EXPECT_EQ(SerialCommandFrame(6, -130), (std::array<std::uint8_t, 4>{0x87, 0x04, 0xFF, 0xFE}));
  EXPECT_EQ(SerialCommandFrame(7, 99), (std::array<std::uint8_t, 4>{0x88, 0x02, 0, 0}));
  EXPECT_FALSE(SerialCommandFrame(0, 0));
  EXPECT_FALSE(SerialCommandFrame(8, 0));
}

TEST_F(SerialProtocolTest, AnswersAndTexts) {
  Feed({0x82, 0x04, 0x0A, 0x0E});
  EXPECT_FALSE(decoder.answered());
  Feed({0x82, 0x04, 0x0A});
  Feed({0x0F});  // split across reads
  EXPECT_TRUE(decoder.answered());
  Feed({0x83, 0x05, 0x56, 0x31, 0x32});
  EXPECT_EQ(decoder.firmware(), "V12");
  Feed({0x84, 0x05, 0x5A, 0x53, 0x31});
  EXPECT_EQ(decoder.device_id(), "ZS1");
  // A text message without text empties the text it replaces.
  Feed({0x83, 0x02});
  EXPECT_EQ(decoder.firmware(), "");
  Feed({0x84, 0x02});
  EXPECT_EQ(decoder.device_id(), "");
}

TEST_F(SerialProtocolTest, WorkedExamplePublishesOneCalibratedRecord) {
  Feed(Frame(0x81, 1, 1, {{4096, 4112, 2048, 2064}}));
  EXPECT_EQ(ports.Int(0), 1);
  EXPECT_EQ(ports.Int(4), 1);
  EXPECT_EQ(ports.Field(0, 0), 0);
  EXPECT_EQ(ports.Field(0, 2), 256);  // x1
  EXPECT_EQ(ports.Field(0, 4), 96);   // y1
  EXPECT_EQ(ports.Field(0, 6), 257);  // x2
  EXPECT_EQ(ports.Field(0, 8), 96);   // y2, 96.75 truncated
  EXPECT_EQ(ports.Field(0, 10), 0);   // bytes 10..19 never reach the section
}

TEST_F(SerialProtocolTest, EmptyFramesAndReleases) {
  DeviceSettings settings = decoder.settings();
  settings.ClickMode = 2;  // tick at release
  decoder.ApplySettings(settings);
  Feed(Frame(0x81, 0, 0, {}));
  EXPECT_EQ(ports.Int(0), 1);
  EXPECT_EQ(ports.Int(4), 0);
  Feed(Frame(0x80, 0, 0, {}));
  EXPECT_EQ(ports.Int(0), 0);
  Feed({0x80});  // already up: a left release again, no tick
  EXPECT_EQ(ports.releases, (std::vector<std::uint16_t>{0x0002, 0x0002}));
  EXPECT_EQ(std::count(ports.signals.begin(), ports.signals.end(), SerialSignal::kBeep), 1);
}

TEST_F(SerialProtocolTest, AllPairsFirstThenTracking) {
  Feed(Frame(0x81, 2, 2, {{1000, 1000, 1000, 1000}, {9000, 9000, 9000, 9000}}));
  EXPECT_EQ(Pairs(), (std::vector<std::pair<int, int>>{{0, 0}, {0, 1}, {1, 0}, {1, 1}}));
  // Every candidate now lies 50 or more from every previous second position.
  Feed(Frame(0x81, 2, 2, {{3000, 3000, 3000, 3000}, {12000, 12000, 12000, 12000}}));
  EXPECT_EQ(Pairs(), (std::vector<std::pair<int, int>>{{0, 0}, {1, 1}}));

  Feed(Frame(0x80, 0, 0, {}));
  Feed(Frame(0x81, 1, 1, {{5000, 5000, 5000, 5000}}));  // a first frame again
  Feed(Frame(0x81, 3, 1, {{100, 100, 15000, 15000}, {8000, 8000, 0, 0}, {16000, 16000, 0, 0}}));
  EXPECT_EQ(Pairs(), (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}}));
}

// A second finger lands beside a held one: 2 X and 2 Y shadows, so two real points and two
// ghosts. The pair near the held point is kept, first and with its id, and the other finger
// takes the shadows left over; without tracking the decoder would publish the two ghosts.
// Pixels on the 1024 x 768 monitor: X is sensor / 16, Y is sensor * 3 / 64.
class SerialTrackingTest : public SerialProtocolTest {
 protected:
  using Published = std::array<int, 5>;  // id, x1, y1, x2, y2 as the section holds them

  // Holds one finger at X 200..204, Y 300..303 (first..second end), then adds a second finger
  // at X 750..754, Y 600..603 while the held finger's second ends move by `dx` pixels in X and
  // `dy3` times 3 pixels in Y.
  void HoldThenAddAFinger(int dx, int dy3) {
    Feed(Frame(0x81, 1, 1, {{3200, 3264, 6400, 6464}}));
    ASSERT_EQ(Record(0), (Published{0, 200, 300, 204, 303}));
    Feed(Frame(0x81, 2, 2,
               {{3200, 3264 + 16 * dx, 12800, 12864}, {12000, 12064, 6400, 6464 + 64 * dy3}}));
  }
  Published Record(std::size_t k) const {
    return {ports.Field(k, 0), ports.Field(k, 2), ports.Field(k, 4), ports.Field(k, 6),
            ports.Field(k, 8)};
  }
};

TEST_F(SerialTrackingTest, SecondFingerBesideAHeldOneIsPairedWithTheLeftoverShadows) {
  HoldThenAddAFinger(34, 5);  // 34 + 15 = 49 pixels from the held point: near
  EXPECT_EQ(ports.Int(0), 1);
  EXPECT_EQ(ports.Int(4), 2);
  EXPECT_EQ(Record(0), (Published{0, 200, 300, 238, 318}));  // the held finger, moved
  EXPECT_EQ(Record(1), (Published{1, 750, 600, 754, 603}));  // the new finger
  EXPECT_EQ(Pairs(), (std::vector<std::pair<int, int>>{{0, 1}, {1, 0}}));

  // It stays tracked while it moves on, by under 50 pixels each frame.
  Feed(Frame(0x81, 2, 2,
             {{3200, 3264 + 16 * 60, 12800, 12864}, {12000, 12064, 6400, 6464 + 64 * 3}}));
  EXPECT_EQ(Record(0), (Published{0, 200, 300, 264, 312}));
  EXPECT_EQ(Record(1), (Published{1, 750, 600, 754, 603}));
}

TEST_F(SerialTrackingTest, FiftyPixelsFromTheHeldPointIsNoLongerNear) {
  // Measured between second ends: the first ends have not moved at all.
  HoldThenAddAFinger(35, 5);
  EXPECT_EQ(ports.Int(0), 1);
  EXPECT_EQ(ports.Int(4), 2);
  EXPECT_EQ(Record(0), (Published{0, 200, 600, 239, 603}));
  EXPECT_EQ(Record(1), (Published{1, 750, 300, 754, 318}));
  EXPECT_EQ(Pairs(), (std::vector<std::pair<int, int>>{{0, 0}, {1, 1}}));
}

TEST_F(SerialProtocolTest, ShadowCountChangeIsAnnouncedBeforeTheNewSet) {
  Feed(Frame(0x81, 1, 1, {{5000, 5000, 5000, 5000}}));
  ports.signals.clear();
  Feed(Frame(0x81, 1, 3, {{5000, 5000, 100, 100}, {0, 0, 8000, 8000}, {0, 0, 16000, 16000}}));
  EXPECT_EQ(ports.signals, (std::vector<SerialSignal>{SerialSignal::kPointsUpdated,
                                                      SerialSignal::kPointsUpdated}));
  EXPECT_EQ(Pairs(), (std::vector<std::pair<int, int>>{{0, 0}, {0, 1}, {0, 2}}));
}

TEST_F(SerialProtocolTest, OneShotRightClickAfterASettingsLoad) {
  DeviceSettings settings = decoder.settings();
  settings.ClickRightLeft = 1;
  decoder.ApplySettings(settings);
  Feed({0x81, 0x80, 0x80});
  EXPECT_EQ(ports.releases, (std::vector<std::uint16_t>{0x0008, 0x0002}));
  EXPECT_EQ(std::count(ports.signals.begin(), ports.signals.end(), SerialSignal::kClickChangeAck),
            1);
}

TEST_F(SerialProtocolTest, CapacitiesHoldForOversizedFramesAndDividerZero) {
  std::vector<std::array<int, 4>> many(120, {4000, 4000, 4000, 4000});
  Feed(Frame(0x81, 120, 120, many));  // 968 body bytes: completes, cut to 100 records
  EXPECT_EQ(ports.Int(4), 100);
  EXPECT_EQ(decoder.point_frame().count, 100);

  DeviceSettings settings = decoder.settings();
  settings.mapping.matrix.Divider = 0;
  decoder.ApplySettings(settings);
  Feed(Frame(0x80, 0, 0, {}));
  Feed(Frame(0x81, 1, 1, {{4096, 4096, 2048, 2048}}));
  EXPECT_EQ(ports.Field(0, 2), 256);  // uncalibrated monitor position
  EXPECT_EQ(ports.Field(0, 4), 96);
}

TEST_F(SerialProtocolTest, AFrameThatFillsTheBufferCompletesOnceAndLaterBytesAreDropped) {
  // 127 records: 8 + 8 * 127 = 1024 body bytes, exactly the buffer.
  Feed(Frame(0x81, 127, 1, std::vector<std::array<int, 4>>(127, {4000, 4000, 4000, 4000})));
  EXPECT_EQ(decoder.point_frame().count, 100);
  ports.signals.clear();
  Feed({0x01, 0x02, 0x03});  // beyond the buffer: dropped, and they complete nothing
  EXPECT_EQ(ports.signals, std::vector<SerialSignal>{});
}

TEST_F(SerialProtocolTest, AHeaderAbandonsTheMessageInProgress) {
  std::vector<std::uint8_t> cut = Frame(0x81, 1, 1, {{4000, 4000, 4000, 4000}});
  cut.resize(cut.size() - 2);  // two bytes short
  Feed(cut);
  Feed({0x83, 0x04});  // a text starts: the touch frame never completes
  Feed({0x41, 0x42});
  EXPECT_EQ(decoder.firmware(), "AB");
  EXPECT_EQ(std::count(ports.signals.begin(), ports.signals.end(), SerialSignal::kPointsUpdated),
            0);
}

// The touch state machine, seen through its transition hook and the decoder's outputs.
class SerialTouchStateTest : public SerialProtocolTest, public TransitionObserver {
 protected:
  SerialTouchStateTest() { decoder.SetTransitionObserver(this); }
  void OnTransition(const StateTransition& t) override {
    EXPECT_EQ(t.machine, "serial-touch");
    log.push_back(std::string(t.from) + " -" + std::string(t.event) + "-> " + std::string(t.to));
  }
  void UseClickMode(std::int32_t mode) {
    DeviceSettings settings = decoder.settings();
    settings.ClickMode = mode;
    decoder.ApplySettings(settings);
  }
  // Verbs of the described controller.
  void Touch(int cx = 1) { Feed(Frame(0x81, cx, 1, {{4000, 4000, 4000, 4000}})); }
  void Release() { Feed(Frame(0x80, 0, 0, {})); }
  long Beeps() const {
    return std::count(ports.signals.begin(), ports.signals.end(), SerialSignal::kBeep);
  }
  std::vector<std::string> TakeLog() { return std::exchange(log, {}); }

  std::vector<std::string> log;
};

TEST_F(SerialTouchStateTest, FirstFrameAfterEachTouchPairsAllThenTracks) {
  Touch();
  Touch();
  Release();
  Touch();
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{
                           "up -touch-header-> down", "down -touch-frame-> tracking",
                           "tracking -touch-header-> tracking", "tracking -touch-frame-> tracking",
                           "tracking -release-header-> up", "up -touch-frame-> up",
                           "up -touch-header-> down", "down -touch-frame-> tracking"}));
  EXPECT_EQ(ports.releases, (std::vector<std::uint16_t>{0x0002}));
}

TEST_F(SerialTouchStateTest, TicksFollowTheClickMode) {
  UseClickMode(1);
  Touch();
  Touch();
  Release();
  EXPECT_EQ(Beeps(), 1);  // at touch-down only
  ports.signals.clear();
  UseClickMode(2);
  Release();  // already up: no tick
  EXPECT_EQ(Beeps(), 0);
  Touch();
  EXPECT_EQ(Beeps(), 0);
  Release();
  EXPECT_EQ(Beeps(), 1);
  EXPECT_EQ(decoder.touch_state(), SerialTouchStateMachine::State::kUp);
}

TEST_F(SerialTouchStateTest, TransitionsCarryTheCallersTime) {
  struct Stamps final : TransitionObserver {
    void OnTransition(const StateTransition& t) override { at.push_back(t.at); }
    std::vector<UtcTime> at;
  } stamps;
  decoder.SetTransitionObserver(&stamps);
  const UtcTime now{2026, 2, 3, 4, 5, 6, 7};
  decoder.Parse(std::vector<std::uint8_t>{0x81, 0x80}, now);
  EXPECT_EQ(stamps.at, (std::vector<UtcTime>{now, now}));
  decoder.SetTransitionObserver(nullptr);
  Release();  // no observer: nothing is reported, and nothing breaks
  EXPECT_EQ(stamps.at.size(), 2u);
}

}  // namespace
}  // namespace zorvik
