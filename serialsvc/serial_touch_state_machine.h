// The touch state of one serial controller (up, down, tracking) as an explicit machine: the
// touch and release headers and each complete touch frame are its events; the decoder carries
// out its actions (tick, button release, publishing the frame's points).
#pragma once

#include <string_view>

#include "common/state_transition.h"
#include "common/utc_time.h"

namespace zorvik {

class SerialTouchActions {
 public:
  virtual ~SerialTouchActions() = default;
  virtual void TickAtTouchDown() = 0;
  // A release at every release header; `touch_ended` says a touch was down (tick at lift).
  virtual void ReleaseButton(bool touch_ended) = 0;
  virtual void PublishNoTouch() = 0;
  virtual void PublishAllPairs() = 0;      // the first frame of a touch: every X with every Y
  virtual void PublishTrackedPairs() = 0;  // later frames: pairs near the last ones first
};

class SerialTouchStateMachine {
 public:
  enum class State {
    kUp,
    kDown,      // touched, no frame of this touch published yet
    kTracking,  // a frame of this touch was published: later frames are tracked
  };
  enum class Event {
    kTouchHeader,    // 0x81
    kReleaseHeader,  // 0x80
    kTouchFrame,     // a complete touch frame of either header
  };

  explicit SerialTouchStateMachine(SerialTouchActions& actions) : actions_(actions) {}

  void Handle(Event event, UtcTime now);

  State state() const { return state_; }
  void set_observer(TransitionObserver* observer) { observer_ = observer; }

  static constexpr std::string_view kMachineName = "serial-touch";

 private:
  enum class Action {
    kNone,
    kTickAtTouchDown,
    kReleaseAfterUp,  // no tick
    kReleaseAfterDown,
    kPublishNoTouch,
    kPublishAllPairs,
    kPublishTrackedPairs,
  };
  struct Step {
    State next;
    Action action;
  };

  static Step StepFrom(State from, Event event);
  static Step OnUp(Event event);
  static Step OnDown(Event event);
  static Step OnTracking(Event event);
  void Run(Action action);

  SerialTouchActions& actions_;
  TransitionObserver* observer_ = nullptr;
  State state_ = State::kUp;
};

std::string_view ToString(SerialTouchStateMachine::State state);
std::string_view ToString(SerialTouchStateMachine::Event event);

}  // namespace zorvik
