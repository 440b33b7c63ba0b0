// The views' frame pacing: draw a published frame at once when a refresh has passed since the
// last drawing, otherwise hold it until then.
#include "panel/view_frame_pacer.h"

namespace zorvik::panel {
namespace {

constexpr std::uint32_t kDefaultHz = 60;
constexpr std::uint32_t kLowestHz = 24;
constexpr std::uint32_t kHighestHz = 500;

}  // namespace

ViewFramePacer::ViewFramePacer(std::uint32_t refresh_hz)
    : period_us_(1'000'000 /
                 (refresh_hz >= kLowestHz && refresh_hz <= kHighestHz ? refresh_hz : kDefaultHz)) {}

ViewFramePacer::Action ViewFramePacer::Handle(Event event, std::int64_t now_us) {
  switch (state_) {
    case State::kIdle:
      return OnIdle(event, now_us);
    case State::kHolding:
      return OnHolding(event, now_us);
  }
  return Action::kNothing;
}

ViewFramePacer::Action ViewFramePacer::OnIdle(Event event, std::int64_t now_us) {
  switch (event) {
    case Event::kFramePublished:
      if (Due(now_us)) return Draw(now_us);
      state_ = State::kHolding;
      return Action::kNothing;
    case Event::kWaitTimedOut:
      return Action::kNothing;  // nothing held
  }
  return Action::kNothing;
}

ViewFramePacer::Action ViewFramePacer::OnHolding(Event event, std::int64_t now_us) {
  switch (event) {
    case Event::kFramePublished:
    case Event::kWaitTimedOut:
      // A newer frame replaces the held one; either way the newest is drawn once it is due.
      return Due(now_us) ? Draw(now_us) : Action::kNothing;
  }
  return Action::kNothing;
}

ViewFramePacer::Action ViewFramePacer::Draw(std::int64_t now_us) {
  drawn_ = true;
  last_drawn_us_ = now_us;
  state_ = State::kIdle;
  return Action::kDraw;
}

std::uint32_t ViewFramePacer::WaitMs(std::int64_t now_us) const {
  if (state_ != State::kHolding) return kForever;
  const std::int64_t left_us = last_drawn_us_ + period_us_ - now_us;
  if (left_us <= 0) return 0;
  return static_cast<std::uint32_t>((left_us + 999) / 1000);  // never wake before it is due
}

}  // namespace zorvik::panel
