// Publication of multi-touch frames into the two shared sections, and the popup gesture: a hold
// timer restarted by large moves, checked when all fingers lift.
#pragma once

#include <cstdint>
#include <span>

#include "common/section_layouts.h"
#include "common/service_settings.h"
#include "common/utc_time.h"
#include "usbsvc/candidate_grid.h"
#include "usbsvc/candidate_tracking.h"

namespace zorvik {

inline constexpr std::size_t kPointSectionSize = point_section::kSize;
inline constexpr std::size_t kRawCellSectionSize = raw_cell_section::kSize;
inline constexpr std::size_t kMaxCellLevels = raw_cell_section::kMaxLevels;
static_assert(point_section::kGridSide == kGridSide);

// State byte of the raw cell section.
enum class RawCellState : std::uint8_t { kUp = 0, kTouching = 1, kDownNotYetTouching = 2 };

struct CellHeader {
  std::uint16_t n = 0;
  std::uint16_t cx = 0;
  std::uint16_t cy = 0;
};

// Writes nothing into a view smaller than the section.
void WriteRawCellSection(std::span<std::uint8_t> view, RawCellState state, CellHeader header,
                         std::span<const std::uint8_t> levels);
// Header, then the records of rows < n and columns < m, then the frame status.
void WritePointSection(std::span<std::uint8_t> view, const CandidateGrid& grid,
                       std::int32_t frame_status);
void WritePointStatus(std::span<std::uint8_t> view, std::int32_t frame_status);

class PopupWatch {
 public:
  // After every touch frame: start the timer, or restart it after a move over 100 pixels.
  void OnTouchFrame(GridPosition at, const UtcTime& now);
  // On every all-lifted frame: true when a hold of MPPopupActiveTime seconds (within one
  // minute) ended inside an enabled edge band of the monitor. A band of 0 % counts as 1 %.
  bool Check(const UtcTime& now, const MpControlSettings& mp, const MonitorRect& monitor);

 private:
  bool running_ = false;
  UtcTime start_;
  GridPosition start_at_;
  GridPosition current_;
};

}  // namespace zorvik
