// The replay tool's --trace-states lines: every event of a touch state machine as one JSON line
// in the effect stream, before the effects of its action.
#pragma once

#include <string>

#include "common/state_transition.h"
#include "tools/touchreplay/replay_effects.h"

namespace zorvik {

// {"transition":{"machine":"usb-touch","from":"up","event":"finger-down","to":"down",
//  "t":"2026-01-01T00:00:00.000Z"}}
std::string TransitionJson(const StateTransition& transition);

class ReplayTrace final : public TransitionObserver {
 public:
  explicit ReplayTrace(ReplayEffects::LineSink sink) : sink_(std::move(sink)) {}
  void OnTransition(const StateTransition& transition) override {
    sink_(TransitionJson(transition));
  }

 private:
  ReplayEffects::LineSink sink_;
};

}  // namespace zorvik
