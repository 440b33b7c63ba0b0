// Pairing of a decoded frame's X and Y shadows into the published points: every pair for the
// first frame of a touch, then by tracking (pairs near a previous point first, then the pairs
// whose shadows no point uses yet). Portable and fixed-size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/section_layouts.h"

namespace zorvik {

// The private point frame has the serial section's layout.
inline constexpr std::size_t kSerialMaxRecords = serial_section::kMaxRecords;
inline constexpr std::size_t kSerialPointFrameSize = serial_section::kSize;
inline constexpr std::size_t kSerialPublishedRecordBytes = serial_section::kPublishedRecordBytes;

#pragma pack(push, 1)
struct SerialPointRecord {
  std::uint16_t id = 0;
  std::int16_t x1 = 0;
  std::int16_t y1 = 0;
  std::int16_t x2 = 0;
  std::int16_t y2 = 0;
  std::uint16_t unused = 0;
  std::uint16_t x_index = 0;  // private copy only
  std::uint16_t y_index = 0;
  std::uint32_t in_use = 0;
};
struct SerialPointFrame {
  std::int32_t status = 0;  // 0 no touch, 1 new point set, 2 shadow count changed
  std::int32_t count = 0;
  std::array<SerialPointRecord, kSerialMaxRecords> records{};
};
#pragma pack(pop)
static_assert(sizeof(SerialPointRecord) == serial_section::kRecordSize);
static_assert(sizeof(SerialPointFrame) == kSerialPointFrameSize);

// One axis's shadow of a decoded record: its two ends in monitor pixels.
struct AxisEntry {
  std::uint16_t in_use = 0;
  std::int16_t second = 0;
  std::int16_t first = 0;
};
// A touch frame's records as X and Y shadows (cx and cy at most 100).
struct DecodedFrame {
  std::int32_t n = 0;
  std::int32_t cx = 0;
  std::int32_t cy = 0;
  std::array<AxisEntry, kSerialMaxRecords> x{};
  std::array<AxisEntry, kSerialMaxRecords> y{};
};

// A pair closer than this (sum of the X and Y distances) to a previous point is tracked.
inline constexpr std::int32_t kTrackingProximity = 50;

// Both append to `points` (cleared by the caller) until it holds 100 records.
void PairAll(const DecodedFrame& frame, SerialPointFrame& points);
void PairByTracking(const DecodedFrame& frame, const SerialPointFrame& previous,
                    SerialPointFrame& points);

}  // namespace zorvik
