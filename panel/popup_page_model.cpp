// Reading and writing the Popup Control page's values; the start/stop state; Popdeck's place.
#include "panel/popup_page_model.h"

#include <algorithm>
#include <cctype>

#include "common/settings_access.h"
#include "common/settings_schema.h"

namespace zorvik::panel {
namespace {

struct ValueSlot {
  const char* name;
  std::int32_t PopupValues::*value;
};

constexpr std::array<ValueSlot, 5> kOrder{{
    {schema::kMpAreaLimitOption, &PopupValues::area_limit_option},
    {schema::kMpXAllowAreaPercent, &PopupValues::x_allow_area_percent},
    {schema::kMpYAllowAreaPercent, &PopupValues::y_allow_area_percent},
    {schema::kMpPopupActiveTime, &PopupValues::popup_active_time},
    {schema::kMpPopupProcessState, &PopupValues::popup_process_state},
}};

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

PopupValues ReadPopupValues(SettingsStore& store) {
  PopupValues values;
  const ScopedKey mp_control =
      OpenKey(store, store.LocalMachine(), schema::kMpControlKey, key_rights::kRead);
  if (!mp_control) return values;
  for (const ValueSlot& slot : kOrder) {
    if (const auto value = ReadInt(store, mp_control.get(), slot.name)) values.*slot.value = *value;
  }
  return values;
}

bool WritePopupValues(SettingsStore& store, const PopupValues& values) {
  const ScopedKey mp_control =
      CreateKey(store, store.LocalMachine(), schema::kMpControlKey, key_rights::kSetValue);
  if (!mp_control) return false;
  for (const ValueSlot& slot : kOrder) {
    WriteDword(store, mp_control.get(), slot.name, static_cast<std::uint32_t>(values.*slot.value));
  }
  return true;
}

bool EdgeChecked(std::int32_t area_limit_option, const EdgeBox& box) {
  return (area_limit_option & box.bit) != 0;
}

const char* PopupCaption(std::int32_t process_state) {
  return process_state != 0 ? kPopupStopCaption : kPopupStartCaption;
}

PopupToggle TogglePopupState(SettingsStore& store) {
  // Created when missing: a state that cannot be stored makes every press a start, so the
  // "STOP >>" button of a machine without MPControl would start a second Popdeck.
  const ScopedKey mp_control =
      CreateKey(store, store.LocalMachine(), schema::kMpControlKey, key_rights::kReadWrite);
  const std::int32_t state =
      mp_control ? ReadInt(store, mp_control.get(), schema::kMpPopupProcessState).value_or(0) : 0;
  if (state != 0 && state != 1) return PopupToggle::kNone;
  if (mp_control) {
    WriteDword(store, mp_control.get(), schema::kMpPopupProcessState, state == 0 ? 1 : 0);
  }
  return state == 0 ? PopupToggle::kStart : PopupToggle::kStop;
}

std::optional<std::string> PopdeckPath(SettingsStore& store) {
  const ScopedKey program =
      OpenKey(store, store.LocalMachine(), schema::kProgramKey, key_rights::kRead);
  if (!program) return std::nullopt;
  const std::optional<TextValue> target_dir = ReadText(store, program.get(), schema::kTargetDir);
  if (!target_dir || target_dir->view().empty()) return std::nullopt;
  return std::string(target_dir->view()) + "\\" + kPopdeckFile;
}

std::string PopdeckCommandLine(std::string_view path) {
  std::string quoted(1, '"');
  quoted.append(path).push_back('"');
  return quoted;
}

bool IsPopdeckProcess(std::string_view exe_file) {
  const std::string_view name = kPopdeckName;
  return std::search(exe_file.begin(), exe_file.end(), name.begin(), name.end(),
                     [](char a, char b) { return Lower(a) == Lower(b); }) != exe_file.end();
}

}  // namespace zorvik::panel
