// The multi-touch candidate grid: every X blob paired with every Y blob, in calibrated monitor
// pixels, with status and identifier. Fixed 100 × 100 records; no allocation.
#pragma once

#include <array>
#include <cstdint>

namespace zorvik {

inline constexpr std::size_t kGridSide = 100;

enum class RecordStatus : std::uint16_t {
  kUnexamined = 0,
  kAccepted = 1,
  kGhost = 2,     // shares the primary's X blob or Y blob
  kRejected = 3,  // outside the size bounds
};

// Twelve 16-bit fields, as published.
struct TouchRecord {
  std::uint16_t status = 0;
  std::uint16_t id = 0;
  std::uint16_t width = 0;  // calibrated, pixels
  std::uint16_t height = 0;
  std::uint16_t raw_width = 0;   // X blob width, 1/16384 of the axis
  std::uint16_t raw_height = 0;  // Y blob height
  std::uint16_t x = 0;           // calibrated position, monitor pixels
  std::uint16_t y = 0;
  std::array<std::uint16_t, 4> unused{};

  bool accepted() const { return status == static_cast<std::uint16_t>(RecordStatus::kAccepted); }
};

struct CandidateGrid {
  std::int32_t frame_status = 0;
  std::int32_t candidate_count = 0;
  std::int32_t rows = 0;  // X blobs
  std::int32_t cols = 0;  // Y blobs
  std::array<std::array<TouchRecord, kGridSide>, kGridSide> records{};

  TouchRecord& at(std::size_t r, std::size_t c) { return records[r][c]; }
  const TouchRecord& at(std::size_t r, std::size_t c) const { return records[r][c]; }

  // Clears header and records. Only the rows and columns in use can hold data, so only those
  // are touched; the result equals a full clear.
  void Clear();
  // Copies another grid whole, with the same economy.
  void CopyFrom(const CandidateGrid& other);

  // Largest row and column count written since the last clear.
  std::size_t used_rows = 0;
  std::size_t used_cols = 0;
};

}  // namespace zorvik
