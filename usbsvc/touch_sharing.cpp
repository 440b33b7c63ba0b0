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

// An edge band of 0 % would never hold: it counts as 1 %.
std::int64_t BandPercent(std::int32_t percent) {
  return percent == 0 ? 1 : percent;
}

}  // namespace

void WriteRawCellSection(std::span<std::uint8_t> view, RawCellState state, CellHeader header,
                         std::span<const std::uint8_t> levels) {
  namespace layout = raw_cell_section;
  if (view.size() < layout::kSize) return;
  view[layout::kStateAt] = static_cast<std::uint8_t>(state);
  view[layout::kStateAt + 1] = 0;
  StoreLe(view, layout::kCountAt, header.n);
  StoreLe(view, layout::kXCellsAt, header.cx);
  StoreLe(view, layout::kYCellsAt, header.cy);
  const std::size_t count = std::min<std::size_t>({header.n, levels.size(), layout::kMaxLevels});
  std::memcpy(view.data() + layout::kLevelsAt, levels.data(), count);
}

void WritePointSection(std::span<std::uint8_t> view, const CandidateGrid& grid,
                       std::int32_t frame_status) {
  namespace layout = point_section;
  if (view.size() < layout::kSize) return;
  StoreLe(view, layout::kCandidateCountAt, grid.candidate_count);
  StoreLe(view, layout::kRowsAt, grid.rows);
  StoreLe(view, layout::kColumnsAt, grid.cols);
  const auto rows = static_cast<std::size_t>(std::clamp<std::int32_t>(grid.rows, 0, kGridSide));
  const auto cols = static_cast<std::size_t>(std::clamp<std::int32_t>(grid.cols, 0, kGridSide));
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < cols; ++c) {
      const TouchRecord& record = grid.at(r, c);
      // Only status, identifier, calibrated size and calibrated position are published.
      const std::size_t at = layout::RecordOffset(r, c);
      std::memset(view.data() + at, 0, layout::kRecordSize);
      StoreLe(view, at + layout::kStatusAt, record.status);
      StoreLe(view, at + layout::kIdAt, record.id);
      StoreLe(view, at + layout::kWidthAt, record.width);
      StoreLe(view, at + layout::kHeightAt, record.height);
      StoreLe(view, at + layout::kXAt, record.x);
      StoreLe(view, at + layout::kYAt, record.y);
    }
  }
  WritePointStatus(view, frame_status);
}

void WritePointStatus(std::span<std::uint8_t> view, std::int32_t frame_status) {
  if (view.size() < point_section::kSize) return;
  StoreLe(view, point_section::kFrameStatusAt, frame_status);
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

bool PopupWatch::Check(const UtcTime& now, const MpControlSettings& mp,
                       const MonitorRect& monitor) {
  if (!running_) return false;
  running_ = false;
  if (!SameMinute(now, start_)) return false;
  if (now.second - start_.second < mp.MPPopupActiveTime) return false;
  const std::int64_t w = std::int64_t{monitor.right} - monitor.left;
  const std::int64_t h = std::int64_t{monitor.bottom} - monitor.top;
  const std::int64_t a = w * BandPercent(mp.MPXAllowAreaPercent) / 100;
  const std::int64_t e = h * BandPercent(mp.MPYAllowAreaPercent) / 100;
  const std::int64_t x = current_.x;
  const std::int64_t y = current_.y;
  const std::int32_t edges = mp.MPAreaLimitOption;
  return (std::llabs(w - x) < a && (edges & kRightEdge)) ||
         (std::llabs(h - y) < e && (edges & kBottomEdge)) || (x < a && (edges & kLeftEdge)) ||
         (y < e && (edges & kTopEdge));
}

}  // namespace zorvik
