// When the multi-point views draw: at most once per display refresh, always the newest frame.
// A frame published less than a refresh after the last one drawn is held, and any frame that
// arrives meanwhile replaces it (the sections only ever hold the newest), so none is queued and
// what the screen shows is never more than one refresh behind the controller.
#pragma once

#include <cstdint>

namespace zorvik::panel {

class ViewFramePacer {
 public:
  enum class State { kIdle, kHolding };
  enum class Event { kFramePublished, kWaitTimedOut };
  // What the caller does now.
  enum class Action { kNothing, kDraw };

  // `refresh_hz`: the display's refresh rate; values outside 24..500 (unknown, 0 or 1 from the
  // driver) are taken as 60.
  explicit ViewFramePacer(std::uint32_t refresh_hz);

  // Times are microseconds of a steady clock, given by the caller.
  Action Handle(Event event, std::int64_t now_us);
  // How long to wait for the next published frame before drawing the held one: kForever when
  // none is held.
  static constexpr std::uint32_t kForever = 0xFFFFFFFF;
  std::uint32_t WaitMs(std::int64_t now_us) const;
  // Whether the caller's wait should end for a published frame: not while one is held, since
  // the drawing reads the sections as they are when it is due, so a newer frame changes nothing.
  bool WaitsForFrames() const { return state_ == State::kIdle; }

  State state() const { return state_; }
  std::int64_t period_us() const { return period_us_; }

 private:
  Action OnIdle(Event event, std::int64_t now_us);
  Action OnHolding(Event event, std::int64_t now_us);
  bool Due(std::int64_t now_us) const { return !drawn_ || now_us - last_drawn_us_ >= period_us_; }
  Action Draw(std::int64_t now_us);

  std::int64_t period_us_;
  std::int64_t last_drawn_us_ = 0;
  bool drawn_ = false;
  State state_ = State::kIdle;
};

}  // namespace zorvik::panel
