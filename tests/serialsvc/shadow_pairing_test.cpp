// Shadow pairing against the plain reading of its rules (every pair checked against every point),
// on random and crowded frames: the bounded passes must give the same points byte for byte.
#include "serialsvc/shadow_pairing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>

namespace zorvik {
namespace {

std::int32_t U16(std::int16_t value) {
  return static_cast<std::uint16_t>(value);
}

bool ReferenceAppend(const DecodedFrame& frame, SerialPointFrame& points, std::size_t i,
                     std::size_t j) {
  if (points.count >= 100) return false;
  SerialPointRecord& record = points.records[static_cast<std::size_t>(points.count)];
  record = {static_cast<std::uint16_t>(points.count),
            frame.x[i].first,
            frame.y[j].first,
            frame.x[i].second,
            frame.y[j].second,
            0,
            static_cast<std::uint16_t>(i),
            static_cast<std::uint16_t>(j),
            1};
  ++points.count;
  return true;
}

void ReferenceTracking(const DecodedFrame& frame, const SerialPointFrame& previous,
                       SerialPointFrame& points) {
  for (std::int32_t i = 0; i < frame.cx; ++i) {
    for (std::int32_t j = 0; j < frame.cy; ++j) {
      std::int32_t d = 1'000'000;
      for (std::int32_t k = 0; k < previous.count; ++k) {
        const SerialPointRecord& p = previous.records[static_cast<std::size_t>(k)];
        d = std::min(d, std::abs(U16(frame.x[static_cast<std::size_t>(i)].second) - U16(p.x2)) +
                            std::abs(U16(frame.y[static_cast<std::size_t>(j)].second) - U16(p.y2)));
      }
      if (d < kTrackingProximity) ReferenceAppend(frame, points, i, j);
    }
  }
  for (std::int32_t i = 0; i < frame.cx; ++i) {
    for (std::int32_t j = 0; j < frame.cy; ++j) {
      bool blocked = false;
      for (std::int32_t k = 0; k < points.count && !blocked; ++k) {
        const SerialPointRecord& r = points.records[static_cast<std::size_t>(k)];
        const bool same_x = r.x_index == i;
        const bool same_y = r.y_index == j;
        blocked =
            frame.cx > frame.cy ? same_x : (frame.cx < frame.cy ? same_y : (same_x || same_y));
      }
      if (!blocked) ReferenceAppend(frame, points, i, j);
    }
  }
}

class ShadowPairing : public ::testing::Test {
 protected:
  std::mt19937 random_{20261208};

  std::int16_t Position(int spread) {
    return static_cast<std::int16_t>(std::uniform_int_distribution<int>(0, spread)(random_));
  }
  DecodedFrame Frame(int cx, int cy, int spread) {
    DecodedFrame frame;
    frame.n = std::max(cx, cy);
    frame.cx = cx;
    frame.cy = cy;
    for (auto* axis : {&frame.x, &frame.y}) {
      for (AxisEntry& entry : *axis)
        entry = {1, Position(spread), Position(spread)};
    }
    return frame;
  }
  void ExpectSame(const DecodedFrame& frame, const SerialPointFrame& previous) {
    SerialPointFrame expected;
    SerialPointFrame actual;
    ReferenceTracking(frame, previous, expected);
    PairByTracking(frame, previous, actual);
    ASSERT_EQ(actual.count, expected.count);
    ASSERT_EQ(std::memcmp(&actual, &expected, sizeof actual), 0);
  }
};

TEST_F(ShadowPairing, TrackingMatchesThePlainRulesOnRandomFrames) {
  for (int round = 0; round < 400; ++round) {
    const int cx = std::uniform_int_distribution<int>(0, 12)(random_);
    const int cy = std::uniform_int_distribution<int>(0, 12)(random_);
    const int spread = round % 2 == 0 ? 120 : 2000;  // crowded, then sparse
    SerialPointFrame previous;
    PairAll(Frame(std::uniform_int_distribution<int>(0, 8)(random_),
                  std::uniform_int_distribution<int>(0, 8)(random_), spread),
            previous);
    ExpectSame(Frame(cx, cy, spread), previous);
  }
}

TEST_F(ShadowPairing, FullFramesAndPointsNearInOneAxisOnly) {
  // 100 x 100 shadows against 100 previous points: the frame fills at 100 points.
  SerialPointFrame previous;
  PairAll(Frame(10, 10, 100), previous);
  ExpectSame(Frame(100, 100, 100), previous);
  // Every X shadow near some point and every Y shadow near another, but no pair near one point:
  // nothing is tracked and the fill pass decides alone.
  DecodedFrame frame = Frame(100, 100, 0);
  SerialPointFrame far;
  far.count = 100;
  for (std::size_t k = 0; k < 100; ++k) {
    frame.x[k].second = static_cast<std::int16_t>(10 * k);
    frame.y[k].second = static_cast<std::int16_t>(10 * k);
    far.records[k].x2 = static_cast<std::int16_t>(10 * k);
    far.records[k].y2 = static_cast<std::int16_t>(30000 - 10 * k);
  }
  ExpectSame(frame, far);
  SerialPointFrame points;
  PairByTracking(frame, far, points);
  EXPECT_EQ(points.count, 100);
}

TEST_F(ShadowPairing, AllPairsStopAtOneHundred) {
  SerialPointFrame points;
  PairAll(Frame(11, 10, 50), points);
  EXPECT_EQ(points.count, 100);
  EXPECT_EQ(points.records[99].x_index, 9);
  EXPECT_EQ(points.records[99].y_index, 9);
}

}  // namespace
}  // namespace zorvik
