// The touch state machine of one USB controller: one handler per state, each case the next
// state and one action.
#include "usbsvc/touch_state_machine.h"

namespace zorvik {

using State = TouchStateMachine::State;
using Event = TouchStateMachine::Event;

void TouchStateMachine::Handle(Event event, UtcTime now) {
  const State from = state_;
  const Step step = StepFrom(from, event);
  state_ = step.next;
  ReportTransition(observer_, kMachineName, from, event, state_, now);
  Run(step.action, now);
}

TouchStateMachine::Step TouchStateMachine::StepFrom(State from, Event event) const {
  switch (from) {
    case State::kUp:
      return OnUp(event);
    case State::kDown:
      return OnDown(event);
    case State::kTouching:
      return OnTouching(event);
  }
  return {from, Action::kNone};
}

// Tracking's verdicts never arrive while up (it runs only on a down touch); they change nothing.
TouchStateMachine::Step TouchStateMachine::OnUp(Event event) const {
  switch (event) {
    case Event::kFingerDown:
    case Event::kCellsTouched:
      return {State::kDown, Action::kTickAtTouchDown};
    case Event::kFingerUp:
      return {State::kUp, Action::kReleaseAfterUp};
    case Event::kCellsLifted:
      return {State::kUp, Action::kLiftAfterUp};
    case Event::kContactTracked:
    case Event::kTouchLost:
    case Event::kNotAccepted:
      return {State::kUp, Action::kNone};
  }
  return {state_, Action::kNone};
}

TouchStateMachine::Step TouchStateMachine::OnDown(Event event) const {
  switch (event) {
    case Event::kFingerDown:
    case Event::kCellsTouched:
      return {State::kDown, Action::kNone};
    case Event::kFingerUp:
      return {State::kUp, Action::kReleaseAfterDown};
    case Event::kCellsLifted:
      return {State::kUp, Action::kLiftAfterDown};
    case Event::kContactTracked:
      return {State::kTouching, Action::kNone};
    case Event::kTouchLost:
      return {State::kUp, Action::kLoseTouch};
    case Event::kNotAccepted:
      return {State::kUp, Action::kNone};
  }
  return {state_, Action::kNone};
}

TouchStateMachine::Step TouchStateMachine::OnTouching(Event event) const {
  switch (event) {
    case Event::kFingerDown:
    case Event::kCellsTouched:
    case Event::kContactTracked:
      return {State::kTouching, Action::kNone};
    case Event::kFingerUp:
      return {State::kUp, Action::kReleaseAfterDown};
    case Event::kCellsLifted:
      return {State::kUp, Action::kLiftAfterDown};
    case Event::kTouchLost:
      return {State::kUp, Action::kLoseTouch};
    case Event::kNotAccepted:
      return {State::kUp, Action::kNone};
  }
  return {state_, Action::kNone};
}

void TouchStateMachine::Run(Action action, UtcTime now) {
  switch (action) {
    case Action::kNone:
      break;
    case Action::kTickAtTouchDown:
      actions_.TickAtTouchDown();
      break;
    case Action::kReleaseAfterUp:
      actions_.ReleaseButton(false);
      break;
    case Action::kReleaseAfterDown:
      actions_.ReleaseButton(true);
      break;
    case Action::kLiftAfterUp:
      LiftAll(false, now);
      break;
    case Action::kLiftAfterDown:
      LiftAll(true, now);
      break;
    case Action::kLoseTouch:
      // Without mouse action nothing was pressed, and later frames may pick the touch up again.
      if (actions_.MouseActionEnabled()) {
        actions_.ReleaseButton(false);
        jump_lifted_ = true;
      }
      break;
  }
}

// All fingers lifted: the jump is over, the popup gesture may have completed, and the pointer
// is released only when the cell frames drive it.
void TouchStateMachine::LiftAll(bool touch_ended, UtcTime now) {
  jump_lifted_ = false;
  actions_.CheckPopup(now);
  if (actions_.MouseActionEnabled()) actions_.ReleaseButton(touch_ended);
}

std::string_view ToString(TouchStateMachine::State state) {
  switch (state) {
    case State::kUp:
      return "up";
    case State::kDown:
      return "down";
    case State::kTouching:
      return "touching";
  }
  return "?";
}

std::string_view ToString(TouchStateMachine::Event event) {
  switch (event) {
    case Event::kFingerDown:
      return "finger-down";
    case Event::kFingerUp:
      return "finger-up";
    case Event::kCellsTouched:
      return "cells-touched";
    case Event::kCellsLifted:
      return "cells-lifted";
    case Event::kContactTracked:
      return "contact-tracked";
    case Event::kTouchLost:
      return "touch-lost";
    case Event::kNotAccepted:
      return "not-accepted";
  }
  return "?";
}

}  // namespace zorvik
