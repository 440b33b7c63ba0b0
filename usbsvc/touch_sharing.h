// Publication of multi-touch frames into the two shared sections, and the popup gesture: a hold
// timer restarted by large moves, checked when all fingers lift.
#pragma once

#include <cstdint>
#include <span>

#include "common/service_settings.h"
#include "common/utc_time.h"
#include "usbsvc/candidate_grid.h"
#include "usbsvc/candidate_tracking.h"

namespace zorvik {

inline constexpr std::size_t kPointSectionSize = 240016;
inline constexpr std::size_t kRawCellSectionSize = 1032;
inline constexpr std::size_t kTouchRecordSize = 24;
inline constexpr std::size_t kMaxCellLevels = 1024;

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

// Offset of record (r, c) in the point section.
constexpr std::size_t PointRecordOffset(std::size_t row, std::size_t col) {
  return 16 + (row * kGridSide + col) * kTouchRecordSize;
}

class PopupWatch {
 public:
  // After every touch frame: start the timer, or restart it after a move over 100 pixels.
  void OnTouchFrame(GridPosition at, const UtcTime& now);
  // On every all-lifted frame: true when a hold of MPPopupActiveTime seconds (within one
  // minute) ended inside an enabled edge band of the monitor. Zero band percentages become 1
  // in `mp`, as the device keeps them.
  bool Check(const UtcTime& now, MpControlSettings& mp, const MonitorRect& monitor);

 private:
  bool running_ = false;
  UtcTime start_;
  GridPosition start_at_;
  GridPosition current_;
};

}  // namespace zorvik
