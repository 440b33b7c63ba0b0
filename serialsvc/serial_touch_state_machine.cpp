// The touch state machine of one serial controller: one handler per state, each case the next
// state and one action.
#include "serialsvc/serial_touch_state_machine.h"

namespace zorvik {

using State = SerialTouchStateMachine::State;
using Event = SerialTouchStateMachine::Event;

void SerialTouchStateMachine::Handle(Event event, UtcTime now) {
  const State from = state_;
  const Step step = StepFrom(from, event);
  state_ = step.next;
  ReportTransition(observer_, kMachineName, from, event, state_, now);
  Run(step.action);
}

SerialTouchStateMachine::Step SerialTouchStateMachine::StepFrom(State from, Event event) {
  switch (from) {
    case State::kUp:
      return OnUp(event);
    case State::kDown:
      return OnDown(event);
    case State::kTracking:
      return OnTracking(event);
  }
  return {from, Action::kNone};
}

SerialTouchStateMachine::Step SerialTouchStateMachine::OnUp(Event event) {
  switch (event) {
    case Event::kTouchHeader:
      return {State::kDown, Action::kTickAtTouchDown};
    case Event::kReleaseHeader:
      return {State::kUp, Action::kReleaseAfterUp};
    case Event::kTouchFrame:
      return {State::kUp, Action::kPublishNoTouch};
  }
  return {State::kUp, Action::kNone};
}

SerialTouchStateMachine::Step SerialTouchStateMachine::OnDown(Event event) {
  switch (event) {
    case Event::kTouchHeader:
      return {State::kDown, Action::kNone};
    case Event::kReleaseHeader:
      return {State::kUp, Action::kReleaseAfterDown};
    case Event::kTouchFrame:
      return {State::kTracking, Action::kPublishAllPairs};
  }
  return {State::kDown, Action::kNone};
}

SerialTouchStateMachine::Step SerialTouchStateMachine::OnTracking(Event event) {
  switch (event) {
    case Event::kTouchHeader:
      return {State::kTracking, Action::kNone};
    case Event::kReleaseHeader:
      return {State::kUp, Action::kReleaseAfterDown};
    case Event::kTouchFrame:
      return {State::kTracking, Action::kPublishTrackedPairs};
  }
  return {State::kTracking, Action::kNone};
}

void SerialTouchStateMachine::Run(Action action) {
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
    case Action::kPublishNoTouch:
      actions_.PublishNoTouch();
      break;
    case Action::kPublishAllPairs:
      actions_.PublishAllPairs();
      break;
    case Action::kPublishTrackedPairs:
      actions_.PublishTrackedPairs();
      break;
  }
}

std::string_view ToString(SerialTouchStateMachine::State state) {
  switch (state) {
    case State::kUp:
      return "up";
    case State::kDown:
      return "down";
    case State::kTracking:
      return "tracking";
  }
  return "?";
}

std::string_view ToString(SerialTouchStateMachine::Event event) {
  switch (event) {
    case Event::kTouchHeader:
      return "touch-header";
    case Event::kReleaseHeader:
      return "release-header";
    case Event::kTouchFrame:
      return "touch-frame";
  }
  return "?";
}

}  // namespace zorvik
