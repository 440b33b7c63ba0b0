// The touch state of one USB controller (up, down, touching) and the jump-lift latch, as an
// explicit machine: start bytes and the tracking stage's verdicts are its events; the device
// carries out its actions (tick, button release, popup check).
#pragma once

#include <string_view>

#include "common/state_transition.h"
#include "common/utc_time.h"

namespace zorvik {

// What the machine asks of its device; the settings behind each rule live there.
class TouchActions {
 public:
  virtual ~TouchActions() = default;
  virtual void TickAtTouchDown() = 0;
  // Release at the last pointer position; `touch_ended` says a touch was down (tick at lift).
  virtual void ReleaseButton(bool touch_ended) = 0;
  virtual void CheckPopup(UtcTime now) = 0;
  virtual bool MouseActionEnabled() const = 0;
  virtual bool JumpCorrectionEnabled() const = 0;
};

class TouchStateMachine {
 public:
  enum class State {
    kUp,
    kDown,      // touch state down, no contact followed yet
    kTouching,  // a contact is followed: the pointer is pressed, or tracking runs
  };
  enum class Event {
    kFingerDown,      // 0x81
    kFingerUp,        // 0x80
    kCellsTouched,    // 0xE1, unless ignored after a jump
    kCellsLifted,     // 0xE0
    kContactTracked,  // the pointer stage pressed, or tracking accepted a first frame
    kTouchLost,       // tracking found no candidate, or the primary jumped too far
    kNotAccepted,     // a first multi-touch frame that is not (yet) accepted
  };

  explicit TouchStateMachine(TouchActions& actions) : actions_(actions) {}

  void Handle(Event event, UtcTime now);
  // After a touch lost with mouse action on, touched cell frames are ignored until all lift.
  bool IgnoresCells() const { return jump_lifted_ && actions_.JumpCorrectionEnabled(); }

  State state() const { return state_; }
  bool down() const { return state_ != State::kUp; }
  bool touching() const { return state_ == State::kTouching; }
  void set_observer(TransitionObserver* observer) { observer_ = observer; }

  static constexpr std::string_view kMachineName = "usb-touch";

 private:
  enum class Action {
    kNone,
    kTickAtTouchDown,
    kReleaseAfterUp,    // a release while already up: no tick
    kReleaseAfterDown,  // tick at lift
    kLiftAfterUp,
    kLiftAfterDown,
    kLoseTouch,
  };
  struct Step {
    State next;
    Action action;
  };

  Step StepFrom(State from, Event event) const;
  Step OnUp(Event event) const;
  Step OnDown(Event event) const;
  Step OnTouching(Event event) const;
  void Run(Action action, UtcTime now);
  void LiftAll(bool touch_ended, UtcTime now);

  TouchActions& actions_;
  TransitionObserver* observer_ = nullptr;
  State state_ = State::kUp;
  bool jump_lifted_ = false;
};

std::string_view ToString(TouchStateMachine::State state);
std::string_view ToString(TouchStateMachine::Event event);

}  // namespace zorvik
