// The replay tool's transition lines.
#include "tools/touchreplay/replay_trace.h"

#include "common/capture/capture_text.h"
#include "tools/common/json_text.h"

namespace zorvik {

std::string TransitionJson(const StateTransition& transition) {
  return "{\"transition\":{\"machine\":" + JsonString(transition.machine) +
         ",\"from\":" + JsonString(transition.from) + ",\"event\":" + JsonString(transition.event) +
         ",\"to\":" + JsonString(transition.to) +
         ",\"t\":" + JsonString(CaptureText::TimeText(transition.at)) + "}}";
}

}  // namespace zorvik
