// Steps of the multi-touch stage.
#include "usbsvc/candidate_tracking.h"

#include <algorithm>
#include <bitset>
#include <cstdlib>

#include "common/saturating_cast.h"
#include "usbsvc/coordinate_mapping.h"

namespace zorvik {
namespace {

constexpr std::uint16_t Status(RecordStatus status) {
  return static_cast<std::uint16_t>(status);
}

// Visits (r, c) of the used part in row-major order.
template <typename Grid, typename Visit>
void ForEachCandidate(Grid& grid, Visit visit) {
  const auto rows = static_cast<std::size_t>(std::max(grid.rows, 0));
  const auto cols = static_cast<std::size_t>(std::max(grid.cols, 0));
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < cols; ++c)
      visit(grid.at(r, c), GridCell{r, c});
  }
}

std::int32_t Manhattan(const TouchRecord& record, std::int32_t x, std::int32_t y) {
  return std::abs(record.x - x) + std::abs(record.y - y);
}

// |trunc(v)| in a 16-bit field.
std::uint16_t AbsoluteTruncated(float value) {
  const std::int64_t truncated = TruncSaturate<std::int32_t>(value);
  return TruncSaturate<std::uint16_t>(
      static_cast<long double>(truncated < 0 ? -truncated : truncated));
}

// Lower and upper bounds as unsigned numbers, as they are compared.
bool Inside(std::uint32_t value, std::int32_t low, std::int32_t high) {
  return static_cast<std::uint32_t>(low) <= value && value <= static_cast<std::uint32_t>(high);
}

}  // namespace

bool BuildCandidates(const BlobTable& blobs, const MonitorRect& monitor,
                     const CalibrationMatrix& matrix, CandidateGrid& grid) {
  if (matrix.Divider == 0) return false;
  const float w = static_cast<float>(static_cast<double>(monitor.right) - monitor.left);
  const float h = static_cast<float>(static_cast<double>(monitor.bottom) - monitor.top);
  grid.rows = static_cast<std::int32_t>(blobs.x_count);
  grid.cols = static_cast<std::int32_t>(blobs.y_count);
  grid.candidate_count = std::max(grid.rows, grid.cols);
  for (std::size_t r = 0; r < blobs.x_count; ++r) {
    const Blob xb = blobs.Get(Axis::kX, r);
    for (std::size_t c = 0; c < blobs.y_count; ++c) {
      const Blob yb = blobs.Get(Axis::kY, c);
      const PixelPoint at{static_cast<float>(xb.centre) / kSensorRange * w,
                          h * static_cast<float>(yb.centre) / kSensorRange};
      const PixelPoint size{static_cast<float>(xb.width) / kSensorRange * w,
                            h * static_cast<float>(yb.width) / kSensorRange};
      const PixelPoint position = *Calibrate(at, matrix);
      const PixelPoint extent = *Calibrate(size, matrix);
      TouchRecord& record = grid.at(r, c);
      record = TouchRecord{};
      record.x = TruncSaturate<std::uint16_t>(std::max(position.x, 0.0f));
      record.y = TruncSaturate<std::uint16_t>(std::max(position.y, 0.0f));
      record.width = AbsoluteTruncated(extent.x);
      record.height = AbsoluteTruncated(extent.y);
      record.raw_width = static_cast<std::uint16_t>(xb.width);
      record.raw_height = static_cast<std::uint16_t>(yb.width);
    }
  }
  grid.used_rows = std::max(grid.used_rows, blobs.x_count);
  grid.used_cols = std::max(grid.used_cols, blobs.y_count);
  return true;
}

std::optional<GridPosition> ApplySizeFilter(CandidateGrid& grid, const MpControlSettings& mp,
                                            std::int32_t cx, std::int32_t cy) {
  std::optional<GridPosition> last;
  const float x_cell = 16383.0f / static_cast<float>(cx);
  const float y_cell = 16383.0f / static_cast<float>(cy);
  ForEachCandidate(grid, [&](TouchRecord& record, GridCell) {
    record.status = Status(RecordStatus::kAccepted);
    last = PositionOf(record);
    if (mp.EnableMPLimit == 0) return;
    const auto sx = TruncSaturate<std::uint32_t>(record.raw_width / x_cell * 5.3f);
    const auto sy = TruncSaturate<std::uint32_t>(record.raw_height / y_cell * 5.3f);
    const bool x_in = Inside(sx, mp.MPXLimitStart, mp.MPXLimitEnd);
    const bool y_in = Inside(sy, mp.MPYLimitStart, mp.MPYLimitEnd);
    const bool keep = mp.MPAllowState != 0 ? (x_in && y_in) : (!x_in && !y_in);
    if (!keep) record.status = Status(RecordStatus::kRejected);
  });
  return last;
}

void MarkGhosts(CandidateGrid& grid, GridCell primary) {
  ForEachCandidate(grid, [&](TouchRecord& record, GridCell cell) {
    if (cell != primary && (cell.row == primary.row || cell.col == primary.col)) {
      record.status = Status(RecordStatus::kGhost);
    }
  });
}

std::optional<GridCell> FirstAccepted(const CandidateGrid& grid) {
  std::optional<GridCell> found;
  ForEachCandidate(grid, [&](const TouchRecord& record, GridCell cell) {
    if (!found && record.accepted()) found = cell;
  });
  return found;
}

std::optional<GridCell> NearestAccepted(const CandidateGrid& grid, std::int32_t x, std::int32_t y,
                                        std::int32_t* distance) {
  std::optional<GridCell> nearest;
  ForEachCandidate(grid, [&](const TouchRecord& record, GridCell cell) {
    if (!record.accepted()) return;
    const std::int32_t d = Manhattan(record, x, y);
    if (!nearest || d < *distance) {
      nearest = cell;
      *distance = d;
    }
  });
  return nearest;
}

void AssignFirstIds(CandidateGrid& grid) {
  std::uint16_t next = 1;
  ForEachCandidate(grid, [&](TouchRecord& record, GridCell) {
    if (record.accepted()) record.id = next++;
  });
}

void AssignMatchedIds(CandidateGrid& current, const CandidateGrid& previous) {
  // Identifiers the previous frame carried, for the "smallest free" rule.
  std::array<bool, kGridSide> taken_before{};
  ForEachCandidate(previous, [&](const TouchRecord& record, GridCell) {
    if (record.id < kGridSide) taken_before[record.id] = true;
  });
  std::uint16_t largest = 0;
  std::bitset<1 << 16> given_now;
  ForEachCandidate(current, [&](TouchRecord& record, GridCell) {
    if (!record.accepted()) return;
    std::int32_t distance = 0;
    const auto match = NearestAccepted(previous, record.x, record.y, &distance);
    const std::uint16_t p = match ? previous.at(match->row, match->col).id : 0;
    std::uint16_t id = 0;
    if (p == 0) {
      for (std::uint16_t candidate = 1; candidate < kGridSide; ++candidate) {
        if (!taken_before[candidate]) {
          id = candidate;
          break;
        }
      }
    } else if (!given_now[p]) {
      id = p;
    } else {
      id = largest == UINT16_MAX ? largest : static_cast<std::uint16_t>(largest + 1);
    }
    record.id = id;
    given_now[id] = true;
    largest = std::max(largest, id);
  });
}

}  // namespace zorvik
