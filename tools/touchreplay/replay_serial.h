// The replay tool's serial mode: a serial controller's stream through the serial service's
// decoder, with the same effect lines as the USB mode plus the serial section's writes.
#pragma once

#include <string>

#include "common/settings_store.h"
#include "serialsvc/serial_protocol.h"
#include "tools/touchreplay/replay_effects.h"
#include "tools/touchreplay/replay_script.h"
#include "tools/touchreplay/replay_session.h"

namespace zorvik {

class ReplaySerialSession final : public SerialDevicePorts {
 public:
  // Settings are loaded as the serial service loads them, for the controller on COM`port`.
  ReplaySerialSession(SettingsStore& store, const ReplayOptions& options, int port,
                      ReplayEffects::LineSink sink);

  void Feed(const ScriptLine& line);
  SerialTouchDecoder& decoder() { return decoder_; }

  void Set(SerialSignal signal) override;
  PointerOutput& pointer() override { return effects_; }
  std::span<std::uint8_t> Section() override { return section_; }
  std::mutex& SectionLock() override { return lock_; }
  void StatusWritten() override;

 private:
  ReplayEffects effects_;
  ReplayEffects::LineSink sink_;
  ReplayTrace trace_;
  std::vector<std::uint8_t> section_ = std::vector<std::uint8_t>(kSerialPointFrameSize);
  std::mutex lock_;
  SerialTouchDecoder decoder_;
};

}  // namespace zorvik
