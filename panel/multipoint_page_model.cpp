// Reading and writing the Multipoint Touch page's MPControl values, and its range-field rules.
#include "panel/multipoint_page_model.h"

#include <algorithm>

#include "common/saturating_cast.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"

namespace zorvik::panel {
namespace {

struct ValueSlot {
  const char* name;
  std::int32_t MultiPointValues::*value;
  std::int32_t value_absent;  // the default when MPControl exists without this value
};

// The page's reading order. (A missing key gives MultiPointValues' own initial values.)
constexpr std::array<ValueSlot, 12> kReadOrder{{
    {schema::kMpXLimitStart, &MultiPointValues::x_limit_start, 0},
    {schema::kMpXLimitEnd, &MultiPointValues::x_limit_end, 0},
    {schema::kMpYLimitStart, &MultiPointValues::y_limit_start, 0},
    {schema::kMpYLimitEnd, &MultiPointValues::y_limit_end, 0},
    {schema::kMpAllowState, &MultiPointValues::allow_state, 0},
    {schema::kMpLimitState, &MultiPointValues::limit_state, 0},
    {schema::kEnableMouseAction, &MultiPointValues::enable_mouse_action, 0},
    {schema::kFirstTouchOnly, &MultiPointValues::first_touch_only, 0},
    {schema::kEnableTouchCorrect, &MultiPointValues::enable_touch_correct, 0},
    {schema::kEnableMpLimit, &MultiPointValues::enable_mp_limit, 0},
    {schema::kMpTouchPressure, &MultiPointValues::touch_pressure, 0},
    {schema::kMpTouchVelocity, &MultiPointValues::touch_velocity, 100},
}};

// The page's writing order: eleven values, MPLimitState not among them.
constexpr std::array<ValueSlot, 11> kWriteOrder{{
    {schema::kMpXLimitStart, &MultiPointValues::x_limit_start, 0},
    {schema::kMpXLimitEnd, &MultiPointValues::x_limit_end, 0},
    {schema::kMpYLimitStart, &MultiPointValues::y_limit_start, 0},
    {schema::kMpYLimitEnd, &MultiPointValues::y_limit_end, 0},
    {schema::kMpAllowState, &MultiPointValues::allow_state, 0},
    {schema::kEnableMouseAction, &MultiPointValues::enable_mouse_action, 0},
    {schema::kFirstTouchOnly, &MultiPointValues::first_touch_only, 0},
    {schema::kEnableTouchCorrect, &MultiPointValues::enable_touch_correct, 0},
    {schema::kEnableMpLimit, &MultiPointValues::enable_mp_limit, 0},
    {schema::kMpTouchPressure, &MultiPointValues::touch_pressure, 0},
    {schema::kMpTouchVelocity, &MultiPointValues::touch_velocity, 100},
}};

}  // namespace

MultiPointValues ReadMultiPointValues(SettingsStore& store) {
  MultiPointValues values;
  const ScopedKey mp_control =
      OpenKey(store, store.LocalMachine(), schema::kMpControlKey, key_rights::kRead);
  if (!mp_control) return values;
  for (const ValueSlot& slot : kReadOrder) {
    values.*slot.value = ReadInt(store, mp_control.get(), slot.name).value_or(slot.value_absent);
  }
  return values;
}

bool WriteMultiPointValues(SettingsStore& store, const MultiPointValues& values) {
  const ScopedKey mp_control =
      CreateKey(store, store.LocalMachine(), schema::kMpControlKey, key_rights::kSetValue);
  if (!mp_control) return false;
  for (const ValueSlot& slot : kWriteOrder) {
    WriteDword(store, mp_control.get(), slot.name, static_cast<std::uint32_t>(values.*slot.value));
  }
  return true;
}

const RangeField* FindRangeField(int control_id) {
  const auto found =
      std::find_if(kRangeFields.begin(), kRangeFields.end(),
                   [control_id](const RangeField& f) { return f.control_id == control_id; });
  return found == kRangeFields.end() ? nullptr : &*found;
}

RangeEdit EditRange(RangeField::End end, std::int32_t typed, double left, double right) {
  if (end == RangeField::End::kStart) {
    const std::int32_t current_end = LimitValue(right);
    if (typed > current_end) return {static_cast<double>(current_end), right, current_end};
    return {static_cast<double>(typed), right, std::nullopt};
  }
  const std::int32_t current_start = LimitValue(left);
  if (typed < current_start) return {left, static_cast<double>(current_start), current_start};
  return {left, static_cast<double>(typed), std::nullopt};
}

std::int32_t LimitValue(double slider_value) {
  return TruncSaturate<std::int32_t>(slider_value);
}

}  // namespace zorvik::panel
