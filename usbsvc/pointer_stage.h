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

  // A corrected position (monitor pixels) while the touch state is down; `touching` says a
  // contact is already followed (a drag), else this is a first contact. True when this first
  // contact starts being followed (mouse modes 0 to 2): the touch state machine's event.
  bool OnPosition(PixelPoint corrected, const DeviceSettings& settings, bool touching);
  // Right-button release when ClickRightLeft is set, else left, at the last position.
  void ReleaseAtLast(const DeviceSettings& settings);

 private:
  void Drag(AbsolutePoint at, const DeviceSettings& settings, std::uint32_t area_squared);
  bool FirstContact(AbsolutePoint at, const DeviceSettings& settings, std::uint32_t area_squared);
  void Emit(PointerAction action, AbsolutePoint at, const DeviceSettings& settings) {
    EmitPointer(output_, platform_, action, at.x, at.y, settings);
  }

  PointerOutput& output_;
  Clock& clock_;
  Platform platform_;
  bool double_click_pending_ = false;
  AbsolutePoint last_;
  UtcTime down_time_;
  PointerFilter filter_x_;
  PointerFilter filter_y_;
};

}  // namespace zorvik
