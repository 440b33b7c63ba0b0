// The one hook of the touch state machines: each handled event, reported as from -> event -> to
// with the time the caller gave. Names are static strings, so reporting never allocates.
#pragma once

#include <string_view>

#include "common/utc_time.h"

namespace zorvik {

struct StateTransition {
  std::string_view machine;
  std::string_view from;
  std::string_view event;
  std::string_view to;
  UtcTime at;
};

class TransitionObserver {
 public:
  virtual ~TransitionObserver() = default;
  virtual void OnTransition(const StateTransition& transition) = 0;
};

// Reports one handled event to `observer`, when there is one, by the names ToString gives.
template <typename State, typename Event>
void ReportTransition(TransitionObserver* observer, std::string_view machine, State from,
                      Event event, State to, UtcTime at) {
  if (observer != nullptr) {
    observer->OnTransition({machine, ToString(from), ToString(event), ToString(to), at});
  }
}

}  // namespace zorvik
