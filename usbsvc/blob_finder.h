// Blob finding on one axis of a cell frame: runs of touched cells (level above 50) become a width
// and a centre in 1/16384 of the axis, stored as 7-bit pairs in the blob table.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace zorvik {

inline constexpr std::uint8_t kTouchedLevel = 51;  // levels of 51 and more are shadowed
inline constexpr std::size_t kMaxBlobs = 100;

// 16 bytes: X width, X centre, Y width, Y centre (7-bit pairs, high part first), 8 unused.
struct BlobRecord {
  std::array<std::uint8_t, 16> bytes{};
};

struct Blob {
  std::int32_t width = 0;  // high × 128 + low of the stored pair
  std::int32_t centre = 0;
};

enum class Axis { kX, kY };

struct BlobTable {
  std::array<BlobRecord, kMaxBlobs> records{};
  std::size_t x_count = 0;
  std::size_t y_count = 0;

  void Clear();
  std::size_t count(Axis axis) const { return axis == Axis::kX ? x_count : y_count; }
  Blob Get(Axis axis, std::size_t index) const;
};

// Finds the blobs of one axis (at least two cells) and appends them to the table; blobs past
// the table's 100 records are dropped.
void FindBlobs(std::span<const std::uint8_t> levels, Axis axis, BlobTable& table);

}  // namespace zorvik
