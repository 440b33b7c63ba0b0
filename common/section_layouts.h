// The byte layouts of the three shared multi-touch sections: the USB service writes the point and
// raw cell sections, the serial service the serial section; the control panel and the tools read
// them. Offsets count bytes from the start of the mapped view; numbers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorvik {

// Point section: a 16-byte header, then a 100 × 100 grid of 24-byte candidate records.
namespace point_section {
inline constexpr std::size_t kFrameStatusAt = 0;     // int32: 0 no touch, 1 first frame, 2 next
inline constexpr std::size_t kCandidateCountAt = 4;  // int32: the larger blob count
inline constexpr std::size_t kRowsAt = 8;            // int32: X blobs
inline constexpr std::size_t kColumnsAt = 12;        // int32: Y blobs
inline constexpr std::size_t kRecordsAt = 16;
inline constexpr std::size_t kGridSide = 100;
inline constexpr std::size_t kRecordSize = 24;
inline constexpr std::size_t kSize = kRecordsAt + kGridSide * kGridSide * kRecordSize;
static_assert(kSize == 240016);

// The uint16 fields of a record that are published; the other bytes are 0.
inline constexpr std::size_t kStatusAt = 0;
inline constexpr std::size_t kIdAt = 2;
inline constexpr std::size_t kWidthAt = 4;
inline constexpr std::size_t kHeightAt = 6;
inline constexpr std::size_t kXAt = 12;
inline constexpr std::size_t kYAt = 14;

constexpr std::size_t RecordOffset(std::size_t row, std::size_t col) {
  return kRecordsAt + (row * kGridSide + col) * kRecordSize;
}
}  // namespace point_section

// Raw cell section: the state byte, a zero byte, N, CX and CY (uint16), then up to 1024 levels.
namespace raw_cell_section {
inline constexpr std::size_t kStateAt = 0;
inline constexpr std::size_t kCountAt = 2;
inline constexpr std::size_t kXCellsAt = 4;
inline constexpr std::size_t kYCellsAt = 6;
inline constexpr std::size_t kLevelsAt = 8;
inline constexpr std::size_t kMaxLevels = 1024;
inline constexpr std::size_t kSize = kLevelsAt + kMaxLevels;
static_assert(kSize == 1032);
}  // namespace raw_cell_section

// Serial section: status and count (int32), then 100 records of 20 bytes, of which the first 10
// (identifier, X1, Y1, X2, Y2) are published.
namespace serial_section {
inline constexpr std::size_t kStatusAt = 0;  // int32: 0 no touch, 1 new point set, 2 count changed
inline constexpr std::size_t kCountAt = 4;   // int32
inline constexpr std::size_t kRecordsAt = 8;
inline constexpr std::size_t kMaxRecords = 100;
inline constexpr std::size_t kRecordSize = 20;
inline constexpr std::size_t kPublishedRecordBytes = 10;
inline constexpr std::size_t kSize = kRecordsAt + kMaxRecords * kRecordSize;
static_assert(kSize == 2008);

// Fields of a record: the identifier (uint16), then the two ends of its shadows (int16).
inline constexpr std::size_t kIdAt = 0;
inline constexpr std::size_t kX1At = 2;
inline constexpr std::size_t kY1At = 4;
inline constexpr std::size_t kX2At = 6;
inline constexpr std::size_t kY2At = 8;

constexpr std::size_t RecordOffset(std::size_t index) {
  return kRecordsAt + index * kRecordSize;
}
}  // namespace serial_section

}  // namespace zorvik
