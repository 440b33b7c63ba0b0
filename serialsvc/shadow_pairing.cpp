// Shadow pairing. Tracking is bounded per frame: a row whose X shadow is near no previous point
// is skipped whole, a shadow's use is remembered instead of searched, and both passes stop once
// 100 points are held, so a controller that sends many crowded frames cannot hold the listener.
#include "serialsvc/shadow_pairing.h"

#include <algorithm>
#include <cstdlib>

namespace zorvik {
namespace {

std::int32_t U16(std::int16_t value) {
  return static_cast<std::uint16_t>(value);
}

std::int32_t Count(std::int32_t value) {
  return std::clamp<std::int32_t>(value, 0, static_cast<std::int32_t>(kSerialMaxRecords));
}

// Appends pairs to a point frame and remembers which shadows the points use.
class PointAppender {
 public:
  PointAppender(const DecodedFrame& frame, SerialPointFrame& points)
      : frame_(frame), points_(points) {}

  bool full() const { return points_.count >= static_cast<std::int32_t>(kSerialMaxRecords); }
  bool x_used(std::size_t i) const { return x_used_[i]; }
  bool y_used(std::size_t j) const { return y_used_[j]; }

  void Append(std::size_t i, std::size_t j) {
    if (full()) return;
    SerialPointRecord& record = points_.records[static_cast<std::size_t>(points_.count)];
    record.id = static_cast<std::uint16_t>(points_.count);
    record.x1 = frame_.x[i].first;
    record.y1 = frame_.y[j].first;
    record.x2 = frame_.x[i].second;
    record.y2 = frame_.y[j].second;
    record.x_index = static_cast<std::uint16_t>(i);
    record.y_index = static_cast<std::uint16_t>(j);
    record.in_use = 1;
    ++points_.count;
    x_used_[i] = true;
    y_used_[j] = true;
  }

 private:
  const DecodedFrame& frame_;
  SerialPointFrame& points_;
  std::array<bool, kSerialMaxRecords> x_used_{};
  std::array<bool, kSerialMaxRecords> y_used_{};
};

// Pairs whose X plus Y distance to some previous point is below the proximity.
void ProximityPass(const DecodedFrame& frame, const SerialPointFrame& previous,
                   PointAppender& out) {
  const std::int32_t known = Count(previous.count);
  std::array<std::int32_t, kSerialMaxRecords> previous_y{};
  std::array<std::int32_t, kSerialMaxRecords> x_distance{};
  for (std::int32_t k = 0; k < known; ++k) {
    previous_y[static_cast<std::size_t>(k)] = U16(previous.records[static_cast<std::size_t>(k)].y2);
  }
  for (std::int32_t i = 0; i < Count(frame.cx) && !out.full(); ++i) {
    const std::int32_t x = U16(frame.x[static_cast<std::size_t>(i)].second);
    std::int32_t nearest = kTrackingProximity;
    for (std::int32_t k = 0; k < known; ++k) {
      const std::int32_t dx = std::abs(x - U16(previous.records[static_cast<std::size_t>(k)].x2));
      x_distance[static_cast<std::size_t>(k)] = dx;
      nearest = std::min(nearest, dx);
    }
    if (nearest >= kTrackingProximity) continue;  // no pair of this row can be near enough
    for (std::int32_t j = 0; j < Count(frame.cy) && !out.full(); ++j) {
      const std::int32_t y = U16(frame.y[static_cast<std::size_t>(j)].second);
      for (std::int32_t k = 0; k < known; ++k) {
        const auto at = static_cast<std::size_t>(k);
        if (x_distance[at] + std::abs(y - previous_y[at]) < kTrackingProximity) {
          out.Append(static_cast<std::size_t>(i), static_cast<std::size_t>(j));
          break;
        }
      }
    }
  }
}

// Pairs whose shadows no point uses yet: with more X than Y shadows an X shadow is used once,
// with more Y shadows a Y shadow, with as many of each both.
void FillPass(const DecodedFrame& frame, PointAppender& out) {
  const std::int32_t cx = Count(frame.cx);
  const std::int32_t cy = Count(frame.cy);
  for (std::int32_t i = 0; i < cx && !out.full(); ++i) {
    for (std::int32_t j = 0; j < cy && !out.full(); ++j) {
      const bool same_x = out.x_used(static_cast<std::size_t>(i));
      const bool same_y = out.y_used(static_cast<std::size_t>(j));
      const bool blocked = cx > cy ? same_x : (cx < cy ? same_y : (same_x || same_y));
      if (!blocked) out.Append(static_cast<std::size_t>(i), static_cast<std::size_t>(j));
    }
  }
}

}  // namespace

void PairAll(const DecodedFrame& frame, SerialPointFrame& points) {
  PointAppender out(frame, points);
  for (std::int32_t i = 0; i < Count(frame.cx) && !out.full(); ++i) {
    for (std::int32_t j = 0; j < Count(frame.cy) && !out.full(); ++j) {
      out.Append(static_cast<std::size_t>(i), static_cast<std::size_t>(j));
    }
  }
}

void PairByTracking(const DecodedFrame& frame, const SerialPointFrame& previous,
                    SerialPointFrame& points) {
  PointAppender out(frame, points);
  ProximityPass(frame, previous, out);
  FillPass(frame, out);
}

}  // namespace zorvik
