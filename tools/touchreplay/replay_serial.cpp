// The replay tool's serial mode.
#include "tools/touchreplay/replay_serial.h"

#include "common/kernel_object_names.h"
#include "common/settings_loader.h"
#include "common/settings_schema.h"
#include "tools/common/json_text.h"
#include "tools/common/section_json.h"

namespace zorvik {

ReplaySerialSession::ReplaySerialSession(SettingsStore& store, const ReplayOptions& options,
                                         int port, ReplayEffects::LineSink sink)
    : effects_(store, sink, options.double_click_time),
      sink_(sink),
      trace_(std::move(sink)),
      decoder_(*this, options.platform, options.screen) {
  const SettingsLoader loader(store, ServiceKind::kSerial, options.screen);
  DeviceSettings settings = decoder_.settings();
  loader.LoadDevice(loader.LoadService(), schema::NumberedName(names::kComPortFormat, port),
                    settings);
  decoder_.ApplySettings(settings);
  if (options.trace_states) decoder_.SetTransitionObserver(&trace_);
}

void ReplaySerialSession::Feed(const ScriptLine& line) {
  if (line.kind == ScriptLine::Kind::kBytes) {
    decoder_.Parse(line.bytes, effects_.NowUtc());
  } else {
    effects_.ApplyClock(line);
  }
}

void ReplaySerialSession::Set(SerialSignal signal) {
  switch (signal) {
    case SerialSignal::kBeep:
      sink_(R"({"beep":true})");
      break;
    case SerialSignal::kClickChangeAck:
      sink_("{\"signal\":" + JsonString(names::kClickChangeAckEvent) + "}");
      break;
    case SerialSignal::kPointsUpdated:
      sink_("{\"signal\":" + JsonString(names::kSerialPointEvent) + "}");
      break;
  }
}

void ReplaySerialSession::StatusWritten() {
  sink_(SerialSectionJson(section_));
}

}  // namespace zorvik
