// The multi-touch stage of one USB controller: frame entry, first and next frames, touch lost,
// identifiers, popup hold timer and publication.
#include "usbsvc/touch_device.h"

namespace zorvik {
namespace {

// The published frame status: no touch, the first frame of a touch, a later frame.
constexpr std::int32_t kNoTouchFrame = 0;
constexpr std::int32_t kFirstFrame = 1;
constexpr std::int32_t kNextFrame = 2;

}  // namespace

void TouchDevice::CandidateStage() {
  if (!machine_.down()) {
    Publish(kNoTouchFrame);
    current_.Clear();
    previous_.Clear();
    return;
  }
  current_.Clear();
  // Without a calibration result (Divider 0) the candidates have no position: skip the frame.
  if (!BuildCandidates(blobs_, settings_.monitor, settings_.mapping.matrix, current_)) return;
  std::int32_t frame_status = kNoTouchFrame;
  if (!machine_.touching()) {
    FirstFrame();
    AssignFirstIds(current_);
    frame_status = kFirstFrame;
  } else {
    NextFrame();
    AssignMatchedIds(current_, previous_);
    frame_status = kNextFrame;
  }
  popup_.OnTouchFrame(popup_position_, ports_.clock.NowUtc());
  current_.frame_status = frame_status;
  previous_.CopyFrom(current_);
  Publish(frame_status);
}

// With mouse action the pointer stage's press starts the contact; without it, acceptance does.
void TouchDevice::FirstFrame() {
  const MpControlSettings& mp = settings_.mp;
  FilterCandidates();
  if (accepted_frames_ < mp.MPTouchPressure) {
    ++accepted_frames_;  // not accepted yet: the next frame is a first frame again
    NotAccepted();
    return;
  }
  const auto primary = FirstAccepted(current_);
  if (!primary) {
    accepted_frames_ = 0;
    NotAccepted();
    return;
  }
  Follow(current_.at(primary->row, primary->col));
  MarkGhosts(current_, *primary);
  accepted_frames_ = 0;
  if (mp.EnableMouseAction == 0) Dispatch(Event::kContactTracked);
}

void TouchDevice::NextFrame() {
  FilterCandidates();
  std::int32_t distance = 0;
  const auto nearest = NearestAccepted(current_, previous_x_, previous_y_, &distance);
  if (!nearest) {
    TouchLost();
    return;
  }
  MarkGhosts(current_, *nearest);
  if (distance > settings_.mp.MPTouchVelocity) {
    TouchLost();
    return;
  }
  Follow(current_.at(nearest->row, nearest->col));
}

// Size filter; the popup timer follows the last candidate until a primary is chosen.
void TouchDevice::FilterCandidates() {
  if (const auto last = ApplySizeFilter(current_, settings_.mp, header_.cx, header_.cy)) {
    popup_position_ = *last;
  }
}

// The primary drives the pointer (when enabled), and is remembered for the next frame and for
// the popup timer.
void TouchDevice::Follow(const TouchRecord& primary) {
  if (settings_.mp.EnableMouseAction != 0) PointerAt(primary);
  previous_x_ = primary.x;
  previous_y_ = primary.y;
  popup_position_ = PositionOf(primary);
}

void TouchDevice::TouchLost() {
  Dispatch(Event::kTouchLost);
}

void TouchDevice::NotAccepted() {
  Dispatch(Event::kNotAccepted);
}

void TouchDevice::PointerAt(const TouchRecord& primary) {
  const PixelPoint at{static_cast<float>(primary.x), static_cast<float>(primary.y)};
  if (pointer_.OnPosition(at, settings_, machine_.touching())) Dispatch(Event::kContactTracked);
}

void TouchDevice::Publish(std::int32_t frame_status) {
  {
    const std::span<std::uint8_t> view = ports_.sections.View(SectionKind::kPoints);
    std::lock_guard lock(ports_.sections.WriteLock());
    if (machine_.down()) {
      WritePointSection(view, current_, frame_status);
    } else {
      WritePointStatus(view, kNoTouchFrame);
    }
  }
  ports_.sections.Published(SectionKind::kPoints);
  SignalPointEvents();
}

void TouchDevice::SignalPointEvents() {
  if (own_kind_) {
    ports_.signals.Set(DeviceSignal::kPointEvent);
    ports_.signals.Set(DeviceSignal::kRawCellEvent);
  }
  ports_.signals.Set(DeviceSignal::kPointEventAll);
  ports_.signals.Set(DeviceSignal::kRawCellEventAll);
}

}  // namespace zorvik
