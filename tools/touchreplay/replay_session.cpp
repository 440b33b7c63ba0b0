// One replay of a controller stream.
#include "tools/touchreplay/replay_session.h"

#include "common/settings_loader.h"

namespace zorvik {

ReplaySession::ReplaySession(SettingsStore& store, const ReplayOptions& options,
                             ReplayEffects::LineSink sink)
    : effects_(store, sink, options.double_click_time),
      trace_(std::move(sink)),
      device_(
          std::make_unique<TouchDevice>(effects_.ports(), 1, options.platform, options.screen)) {
  const SettingsLoader loader(store, ServiceKind::kUsb, options.screen);
  DeviceSettings settings = device_->settings();
  loader.LoadDevice(loader.LoadService(), options.device_path, settings);
  device_->ApplySettings(settings);
  effects_.ShowCellLevels(options.cell_levels);
  if (options.trace_states) device_->SetTransitionObserver(&trace_);
}

void ReplaySession::Feed(const ScriptLine& line) {
  if (line.kind == ScriptLine::Kind::kBytes) {
    device_->ParseChunk(line.bytes);
  } else {
    effects_.ApplyClock(line);
  }
}

}  // namespace zorvik
