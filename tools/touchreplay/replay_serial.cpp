// The replay tool's serial mode.
#include "tools/touchreplay/replay_serial.h"

#include <cstring>

#include "common/kernel_object_names.h"
#include "common/settings_loader.h"
#include "common/settings_schema.h"
#include "tools/common/json_text.h"

namespace zorvik {
namespace {

template <typename T>
T Get(std::span<const std::uint8_t> bytes, std::size_t offset) {
  T value{};
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

}  // namespace

std::string SerialSectionJson(std::span<const std::uint8_t> section) {
  if (section.size() < kSerialPointFrameSize) return R"({"serial":{"error":"section too small"}})";
  const auto count = Get<std::int32_t>(section, 4);
  const bool plausible = count >= 0 && count <= static_cast<std::int32_t>(kSerialMaxRecords);
  std::string points;
  for (std::int32_t k = 0; plausible && k < count; ++k) {
    const std::size_t at = 8 + 20 * static_cast<std::size_t>(k);
    if (!points.empty()) points += ',';
    points += "{\"id\":" + std::to_string(Get<std::uint16_t>(section, at)) +
              ",\"x1\":" + std::to_string(Get<std::int16_t>(section, at + 2)) +
              ",\"y1\":" + std::to_string(Get<std::int16_t>(section, at + 4)) +
              ",\"x2\":" + std::to_string(Get<std::int16_t>(section, at + 6)) +
              ",\"y2\":" + std::to_string(Get<std::int16_t>(section, at + 8)) + "}";
  }
  return "{\"serial\":{\"status\":" + std::to_string(Get<std::int32_t>(section, 0)) +
         ",\"count\":" + std::to_string(count) + ",\"points\":[" + points + "]" +
         (plausible ? "" : ",\"error\":\"count outside 0..100\"") + "}}";
}

ReplaySerialSession::ReplaySerialSession(SettingsStore& store, const ReplayOptions& options,
                                         int port, ReplayEffects::LineSink sink)
    : effects_(store, sink, options.double_click_time),
      sink_(std::move(sink)),
      decoder_(*this, options.platform, options.screen) {
  const SettingsLoader loader(store, ServiceKind::kSerial, options.screen);
  DeviceSettings settings = decoder_.settings();
  loader.LoadDevice(loader.LoadService(), schema::NumberedName(names::kComPortFormat, port),
                    settings);
  decoder_.ApplySettings(settings);
}

void ReplaySerialSession::Feed(const ScriptLine& line) {
  switch (line.kind) {
    case ScriptLine::Kind::kBytes:
      decoder_.Parse(line.bytes);
      break;
    case ScriptLine::Kind::kSetTime:
      effects_.SetTime(line.time);
      break;
    case ScriptLine::Kind::kAdvance:
      effects_.Advance(line.advance_ms);
      break;
    case ScriptLine::Kind::kEmpty:
      break;
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
