// Tick counting of the device page's scan.
#include "panel/scan_progress.h"

namespace zorvik::panel {

ScanProgress::Step ScanProgress::Tick() {
  if (!scanning_) return Step::kIdle;
  if (ticks_ < kLastPosition) {
    ++ticks_;
    return Step::kAdvance;
  }
  scanning_ = false;
  return Step::kFinish;
}

}  // namespace zorvik::panel
