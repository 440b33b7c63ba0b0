// The replay tool's ports: JSON effect lines.
#include "tools/touchreplay/replay_effects.h"

#include "common/byte_order.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "tools/common/json_text.h"
#include "tools/common/section_json.h"
#include "usbsvc/touch_sharing.h"

namespace zorvik {
namespace {

std::string Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const std::uint8_t byte : bytes) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
  }
  return out;
}

std::string Number(std::int64_t value) {
  return std::to_string(value);
}

}  // namespace

ReplayEffects::ReplayEffects(SettingsStore& store, LineSink sink, std::uint32_t double_click_time)
    : store_(store),
      sink_(std::move(sink)),
      double_click_time_(double_click_time),
      point_section_(kPointSectionSize),
      raw_cell_section_(kRawCellSectionSize) {}

bool ReplayEffects::ApplyClock(const ScriptLine& line) {
  if (line.kind == ScriptLine::Kind::kSetTime) {
    now_ = line.time;
  } else if (line.kind == ScriptLine::Kind::kAdvance) {
    now_ = FromEpochMilliseconds(ToEpochMilliseconds(now_) + line.advance_ms);
  } else {
    return false;
  }
  return true;
}

void ReplayEffects::Write(std::span<const std::uint8_t> bytes) {
  sink_("{\"write\":\"" + Hex(bytes) + "\"}");
}

void ReplayEffects::Set(DeviceSignal signal) {
  if (signal == DeviceSignal::kBeep) {
    sink_("{\"beep\":true}");
  } else {
    sink_("{\"signal\":" + JsonString(SignalName(signal)) + "}");
  }
}

void ReplayEffects::SetText(int device_number, std::string_view value_name, std::string_view text) {
  const std::string key = schema::NumberedName("USBAcitve\\USB%02d", device_number);
  const ScopedKey opened =
      CreateKey(store_, store_.LocalMachine(), std::string(schema::kRootKey) + "\\" + key,
                key_rights::kSetValue);
  if (opened) WriteText(store_, opened.get(), value_name, text);
  sink_("{\"reg\":{\"key\":" + JsonString(key) + ",\"name\":" + JsonString(value_name) +
        ",\"value\":" + JsonString(text) + "}}");
}

void ReplayEffects::WriteRecord(const MouseInputData& record) {
  sink_("{\"mouse\":{\"flags\":" + Number(LoadLe<std::uint16_t>(record, 2)) +
        ",\"buttons\":" + Number(LoadLe<std::uint16_t>(record, 4)) +
        ",\"x\":" + Number(LoadLe<std::int32_t>(record, 12)) +
        ",\"y\":" + Number(LoadLe<std::int32_t>(record, 16)) +
        ",\"extra\":" + Number(LoadLe<std::uint32_t>(record, 20)) + "}}");
}

void ReplayEffects::MouseEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy,
                               std::uint32_t /*data*/, std::uint32_t extra) {
  sink_("{\"mouse_event\":{\"action\":" + Number(flags) + ",\"x\":" + Number(dx) +
        ",\"y\":" + Number(dy) + ",\"extra\":" + Number(extra) + "}}");
}

std::span<std::uint8_t> ReplayEffects::View(SectionKind kind) {
  return kind == SectionKind::kPoints ? std::span(point_section_) : std::span(raw_cell_section_);
}

void ReplayEffects::Published(SectionKind kind) {
  if (kind == SectionKind::kPoints) {
    PrintPoints();
  } else {
    PrintCells();
  }
}

void ReplayEffects::PrintCells() {
  sink_(RawCellSectionJson(raw_cell_section_, cell_levels_));
}

void ReplayEffects::PrintPoints() {
  sink_(PointSectionJson(point_section_));
}

}  // namespace zorvik
