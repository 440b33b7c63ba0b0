// Pointer emulation of one controller: move and press at the first contact (snapped inside the
// double-click window), smoothed or raw moves while held, release at the last position.
#pragma once

#include <cstdint>

#include "common/pointer_emit.h"
#include "common/utc_time.h"
#include "usbsvc/coordinate_mapping.h"

namespace zorvik {

class PointerStage {
 public:
  PointerStage(PointerOutput& output, Clock& clock, Platform platform)
      : output_(output), clock_(clock), platform_(platform) {}

  // A corrected position (monitor pixels) while the touch state is down.
  void OnPosition(PixelPoint corrected, const DeviceSettings& settings);
  // Right-button release when ClickRightLeft is set, else left, at the last position.
  void ReleaseAtLast(const DeviceSettings& settings);

  bool in_progress() const { return in_progress_; }
  void set_in_progress(bool in_progress) { in_progress_ = in_progress; }

 private:
  void Drag(AbsolutePoint at, const DeviceSettings& settings, std::uint32_t area_squared);
  void FirstContact(AbsolutePoint at, const DeviceSettings& settings, std::uint32_t area_squared);
  void Emit(PointerAction action, AbsolutePoint at, const DeviceSettings& settings) {
    EmitPointer(output_, platform_, action, at.x, at.y, settings);
  }

  PointerOutput& output_;
  Clock& clock_;
  Platform platform_;
  bool in_progress_ = false;
  bool double_click_pending_ = false;
  AbsolutePoint last_;
  UtcTime down_time_;
  PointerFilter filter_x_;
  PointerFilter filter_y_;
};

}  // namespace zorvik
