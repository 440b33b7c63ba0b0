// Publication of multi-touch frames and the popup gesture.
#include "usbsvc/touch_sharing.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/byte_order.h"

namespace zorvik {
namespace {

// Edge bits as the popup page writes them.
constexpr std::int32_t kTopEdge = 1;
constexpr std::int32_t kBottomEdge = 2;
constexpr std::int32_t kLeftEdge = 4;
constexpr std::int32_t kRightEdge = 8;

}  // namespace

void WriteRawCellSection(std::span<std::uint8_t> view, RawCellState state, CellHeader header,
                         std::span<const std::uint8_t> levels) {
  if (view.size() < kRawCellSectionSize) return;
  view[0] = static_cast<std::uint8_t>(state);
  view[1] = 0;
  StoreLe(view, 2, header.n);
  StoreLe(view, 4, header.cx);
  StoreLe(view, 6, header.cy);
  const std::size_t count = std::min<std::size_t>({header.n, levels.size(), kMaxCellLevels});
  std::memcpy(view.data() + 8, levels.data(), count);
}

void WritePointSection(std::span<std::uint8_t> view, const CandidateGrid& grid,
                       std::int32_t frame_status) {
  if (view.size() < kPointSectionSize) return;
  StoreLe(view, 4, grid.candidate_count);
  StoreLe(view, 8, grid.rows);
  StoreLe(view, 12, grid.cols);
  const auto rows = static_cast<std::size_t>(std::clamp<std::int32_t>(grid.rows, 0, kGridSide));
  const auto cols = static_cast<std::size_t>(std::clamp<std::int32_t>(grid.cols, 0, kGridSide));
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < cols; ++c) {
      const TouchRecord& record = grid.at(r, c);
      // Only status, identifier, calibrated size and calibrated position are published.
      const std::uint16_t fields[12] = {record.status,
                                        record.id,
                                        record.width,
                                        record.height,
                                        0,
                                        0,
                                        record.x,
                                        record.y,
                                        0,
                                        0,
                                        0,
                                        0};
      std::memcpy(view.data() + PointRecordOffset(r, c), fields, sizeof fields);
    }
  }
  WritePointStatus(view, frame_status);
}

void WritePointStatus(std::span<std::uint8_t> view, std::int32_t frame_status) {
  if (view.size() < kPointSectionSize) return;
  StoreLe(view, 0, frame_status);
}

void PopupWatch::OnTouchFrame(GridPosition at, const UtcTime& now) {
  current_ = at;
  const auto square = [](std::int64_t v) { return v * v; };
  if (running_ && square(std::int64_t{start_at_.x} - at.x) <= 10000 &&
      square(std::int64_t{start_at_.y} - at.y) <= 10000) {
    return;
  }
  running_ = true;
  start_ = now;
  start_at_ = at;
}

bool PopupWatch::Check(const UtcTime& now, MpControlSettings& mp, const MonitorRect& monitor) {
  if (mp.MPXAllowAreaPercent == 0) mp.MPXAllowAreaPercent = 1;
  if (mp.MPYAllowAreaPercent == 0) mp.MPYAllowAreaPercent = 1;
  if (!running_) return false;
  running_ = false;
  if (!SameMinute(now, start_)) return false;
  if (now.second - start_.second < mp.MPPopupActiveTime) return false;
  const std::int64_t w = std::int64_t{monitor.right} - monitor.left;
  const std::int64_t h = std::int64_t{monitor.bottom} - monitor.top;
  const std::int64_t a = w * mp.MPXAllowAreaPercent / 100;
  const std::int64_t e = h * mp.MPYAllowAreaPercent / 100;
  const std::int64_t x = current_.x;
  const std::int64_t y = current_.y;
  const std::int32_t edges = mp.MPAreaLimitOption;
  return (std::llabs(w - x) < a && (edges & kRightEdge)) ||
         (std::llabs(h - y) < e && (edges & kBottomEdge)) || (x < a && (edges & kLeftEdge)) ||
         (y < e && (edges & kTopEdge));
}

}  // namespace zorvik
