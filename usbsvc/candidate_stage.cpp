// The multi-touch stage of one USB controller: frame entry, first and next frames, touch lost,
// identifiers, popup hold timer and publication.
#include "usbsvc/touch_device.h"

namespace zorvik {

void TouchDevice::CandidateStage() {
  if (!down_) {
    pointer_.set_in_progress(false);
    Publish(0);
    current_.Clear();
    previous_.Clear();
    return;
  }
  current_.Clear();
  // Without a calibration result (Divider 0) the candidates have no position: skip the frame.
  if (!BuildCandidates(blobs_, settings_.monitor, settings_.mapping.matrix, current_)) return;
  std::int32_t frame_status = 0;
  if (!pointer_.in_progress()) {
    FirstFrame();
    AssignFirstIds(current_);
    frame_status = 1;
  } else {
    NextFrame();
    AssignMatchedIds(current_, previous_);
    frame_status = 2;
  }
  popup_.OnTouchFrame(popup_position_, ports_.clock.NowUtc());
  current_.frame_status = frame_status;
  previous_.CopyFrom(current_);
  Publish(frame_status);
}

void TouchDevice::FirstFrame() {
  const MpControlSettings& mp = settings_.mp;
  if (mp.EnableMouseAction == 0) pointer_.set_in_progress(true);
  FilterCandidates();
  if (accepted_frames_ < mp.MPTouchPressure) {
    ++accepted_frames_;  // not accepted yet: the next frame is a first frame again
    EndTouch();
    return;
  }
  const auto primary = FirstAccepted(current_);
  if (!primary) {
    accepted_frames_ = 0;
    EndTouch();
    return;
  }
  Follow(current_.at(primary->row, primary->col));
  MarkGhosts(current_, *primary);
  accepted_frames_ = 0;
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
  if (settings_.mp.EnableMouseAction != 0) {
    ReleaseButton(false);
    jump_lift_ = true;
  }
  EndTouch();
}

void TouchDevice::EndTouch() {
  down_ = false;
  pointer_.set_in_progress(false);
}

void TouchDevice::PointerAt(const TouchRecord& primary) {
  pointer_.OnPosition({static_cast<float>(primary.x), static_cast<float>(primary.y)}, settings_);
}

void TouchDevice::Publish(std::int32_t frame_status) {
  const std::span<std::uint8_t> view = ports_.sections.View(SectionKind::kPoints);
  if (down_) {
    WritePointSection(view, current_, frame_status);
  } else {
    WritePointStatus(view, 0);
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
