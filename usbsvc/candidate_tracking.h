// The steps of the multi-touch stage on a candidate grid: building candidates from the blob
// tables, the size filter, ghost marking, primary selection and touch identifiers.
#pragma once

#include <cstdint>
#include <optional>

#include "common/service_settings.h"
#include "usbsvc/blob_finder.h"
#include "usbsvc/candidate_grid.h"

namespace zorvik {

struct GridCell {
  std::size_t row = 0;
  std::size_t col = 0;
  bool operator==(const GridCell&) const = default;
};

struct GridPosition {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const GridPosition&) const = default;
};

// Fills rows × cols candidates (X blob r × Y blob c) in calibrated monitor pixels; header from
// the blob counts. False, with the grid untouched, when the calibration has no result (Divider 0).
bool BuildCandidates(const BlobTable& blobs, const MonitorRect& monitor,
                     const CalibrationMatrix& matrix, CandidateGrid& grid);

// Every candidate becomes accepted, then rejected when out of the size bounds (when enabled).
// Returns the position of the last candidate visited (the popup timer's position), if any.
std::optional<GridPosition> ApplySizeFilter(CandidateGrid& grid, const MpControlSettings& mp,
                                            std::int32_t cx, std::int32_t cy);

// Every record of row r and of column c other than (r, c) becomes a ghost.
void MarkGhosts(CandidateGrid& grid, GridCell primary);

std::optional<GridCell> FirstAccepted(const CandidateGrid& grid);

// The accepted candidate nearest (|dx| + |dy|) to a position; first in row-major order on ties.
std::optional<GridCell> NearestAccepted(const CandidateGrid& grid, std::int32_t x, std::int32_t y,
                                        std::int32_t* distance);

// Identifiers 1, 2, 3, ... in row-major order (first frame of a touch).
void AssignFirstIds(CandidateGrid& grid);
// Identifiers carried over from the nearest accepted record of the previous frame.
void AssignMatchedIds(CandidateGrid& current, const CandidateGrid& previous);

inline GridPosition PositionOf(const TouchRecord& record) {
  return {record.x, record.y};
}

}  // namespace zorvik
