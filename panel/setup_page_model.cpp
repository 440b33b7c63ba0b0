// Reading and writing the Setup page's General values.
#include "panel/setup_page_model.h"

#include <algorithm>

#include "common/settings_access.h"
#include "common/settings_schema.h"

namespace zorvik::panel {

int RadioFor(std::span<const RadioChoice> group, std::int32_t value) {
  const auto found = std::find_if(group.begin(), group.end(),
                                  [value](const RadioChoice& c) { return c.value == value; });
  return found == group.end() ? 0 : found->control_id;
}

std::optional<RadioHit> FindRadio(int control_id) {
  for (std::span<const RadioChoice> group : {std::span<const RadioChoice>(kClickModeRadios),
                                             std::span<const RadioChoice>(kMouseModeRadios),
                                             std::span<const RadioChoice>(kRotationRadios)}) {
    for (const RadioChoice& choice : group) {
      if (choice.control_id == control_id) return RadioHit{group, choice.value};
    }
  }
  return std::nullopt;
}

std::int32_t SliderRange::Clamp(std::int32_t value) const {
  return std::clamp(value, low, high);
}

SetupValues ReadSetupValues(SettingsStore& store) {
  SetupValues values;
  const ScopedKey general =
      OpenKey(store, store.LocalMachine(), schema::kGeneralKey, key_rights::kRead);
  if (!general) return values;
  const auto read = [&](const char* name, std::int32_t& member) {
    if (const auto value = ReadInt(store, general.get(), name)) member = *value;
  };
  read(schema::kMouseMode, values.mouse_mode);
  read(schema::kClickMode, values.click_mode);
  read(schema::kTickFreq, values.tick_freq);
  read(schema::kTicklength, values.tick_length);
  read(schema::kClickArea, values.click_area);
  read(schema::kScreenRotateFlag, values.screen_rotate);
  values.double_click_speed = ReadInt(store, general.get(), schema::kDoubleClickSpeed);
  return values;
}

bool WriteSetupValues(SettingsStore& store, const SetupApplied& values) {
  const ScopedKey general =
      CreateKey(store, store.LocalMachine(), schema::kGeneralKey, key_rights::kSetValue);
  if (!general) return false;
  const auto write = [&](const char* name, std::int32_t value) {
    WriteDword(store, general.get(), name, static_cast<std::uint32_t>(value));
  };
  write(schema::kScreenRotateFlag, values.screen_rotate);
  write(schema::kMouseMode, values.mouse_mode);
  write(schema::kClickMode, values.click_mode);
  write(schema::kTickFreq, values.tone_position);
  write(schema::kTicklength, values.length_position);
  write(schema::kClickArea, values.area_position);
  WriteDword(store, general.get(), schema::kDoubleClickSpeed, values.double_click_time);
  return true;
}

}  // namespace zorvik::panel
