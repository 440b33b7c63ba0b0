// Pointer emulation of one controller.
#include "usbsvc/pointer_stage.h"

#include "common/saturating_cast.h"

namespace zorvik {
namespace {

// Squared distance in unsigned 32-bit arithmetic; it wraps for points far apart, and the
// double-click comparisons are made on that wrapped value.
std::uint32_t DistanceSquared(AbsolutePoint a, AbsolutePoint b) {
  const auto dx = static_cast<std::uint32_t>(a.x) - static_cast<std::uint32_t>(b.x);
  const auto dy = static_cast<std::uint32_t>(a.y) - static_cast<std::uint32_t>(b.y);
  return dx * dx + dy * dy;
}

bool TracksTouches(std::int32_t mouse_mode) {
  return mouse_mode >= 0 && mouse_mode <= 2;
}

}  // namespace

bool PointerStage::OnPosition(PixelPoint corrected, const DeviceSettings& settings, bool touching) {
  const auto at = MapToAbsolute(corrected, settings);
  if (!at) return false;
  const auto area = static_cast<std::uint32_t>(settings.ClickArea);
  const std::uint32_t area_squared = area * area;
  if (touching) {
    Drag(*at, settings, area_squared);
    return false;
  }
  return FirstContact(*at, settings, area_squared);
}

void PointerStage::Drag(AbsolutePoint at, const DeviceSettings& settings,
                        std::uint32_t area_squared) {
  if (DistanceSquared(last_, at) / 100 > area_squared) double_click_pending_ = false;
  switch (settings.MouseMode) {
    case 0:
      at = {TruncSaturate<std::int32_t>(filter_x_.Feed(at.x)),
            TruncSaturate<std::int32_t>(filter_y_.Feed(at.y))};
      [[fallthrough]];
    case 2:
      Emit(PointerAction::kMove, at, settings);
      last_ = at;
      break;
    default:  // mode 1 and unknown modes: the pointer stays at the first contact
      break;
  }
}

// With another mouse mode every following report is again a first contact.
bool PointerStage::FirstContact(AbsolutePoint at, const DeviceSettings& settings,
                                std::uint32_t area_squared) {
  if (double_click_pending_ && DistanceSquared(last_, at) > area_squared) {
    double_click_pending_ = false;
  }
  const UtcTime now = clock_.NowUtc();
  bool snapped = false;
  if (double_click_pending_) {
    snapped =
        SameSecond(now, down_time_) && now.milliseconds - down_time_.milliseconds <
                                           static_cast<std::int64_t>(clock_.DoubleClickTime());
    if (snapped) {
      at = last_;
    } else {
      double_click_pending_ = false;
    }
  }
  if (!double_click_pending_) double_click_pending_ = true;
  down_time_ = now;
  filter_x_.Reset(at.x);
  filter_y_.Reset(at.y);
  AbsolutePoint pressed{TruncSaturate<std::int32_t>(filter_x_.Feed(at.x)),
                        TruncSaturate<std::int32_t>(filter_y_.Feed(at.y))};
  // A snapped second click lands exactly on the first, not on the filter's unsettled output.
  if (snapped) pressed = at;
  Emit(PointerAction::kMove, pressed, settings);
  Emit(settings.ClickRightLeft != 0 ? PointerAction::kRightPress : PointerAction::kLeftPress,
       pressed, settings);
  last_ = pressed;
  return TracksTouches(settings.MouseMode);
}

void PointerStage::ReleaseAtLast(const DeviceSettings& settings) {
  Emit(settings.ClickRightLeft != 0 ? PointerAction::kRightRelease : PointerAction::kLeftRelease,
       last_, settings);
}

}  // namespace zorvik
