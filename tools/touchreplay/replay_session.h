// One replay: a controller pipeline (device number 1) wired to JSON effect lines, with its
// settings loaded from a store once before the first byte, as the service does after a start.
#pragma once

#include <memory>
#include <string>

#include "common/settings_store.h"
#include "tools/touchreplay/replay_effects.h"
#include "tools/touchreplay/replay_script.h"
#include "tools/touchreplay/replay_trace.h"
#include "usbsvc/touch_device.h"

namespace zorvik {

struct ReplayOptions {
  ScreenSize screen{1024, 768};
  std::uint32_t double_click_time = 500;
  std::string device_path = "\\\\?\\replay#0";
  Platform platform = Platform::kNt;
  bool cell_levels = false;   // raw cell lines carry the levels (input for touchctl beams)
  bool trace_states = false;  // touch state transitions as lines of their own
};

class ReplaySession {
 public:
  ReplaySession(SettingsStore& store, const ReplayOptions& options, ReplayEffects::LineSink sink);

  void Feed(const ScriptLine& line);
  TouchDevice& device() { return *device_; }

 private:
  ReplayEffects effects_;
  ReplayTrace trace_;
  std::unique_ptr<TouchDevice> device_;
};

}  // namespace zorvik
