// The Multipoint Touch page's settings: the eleven MPControl values it shows and writes (and
// MPLimitState, which it reads and never writes), their two sets of defaults, which check box
// carries which option, and how a typed range end meets the slider's current range.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "common/settings_store.h"
#include "panel/panel_resources.h"

namespace zorvik::panel {

// Both range sliders cover 0 to 1000 (millimetres on the page).
inline constexpr double kLimitSliderMin = 0.0;
inline constexpr double kLimitSliderMax = 1000.0;

struct MultiPointValues {
  std::int32_t x_limit_start = 0;
  std::int32_t x_limit_end = 1000;
  std::int32_t y_limit_start = 0;
  std::int32_t y_limit_end = 1000;
  std::int32_t allow_state = 1;
  std::int32_t limit_state = 1;  // read only: the page never writes it
  std::int32_t enable_mouse_action = 1;
  std::int32_t first_touch_only = 1;
  std::int32_t enable_touch_correct = 0;
  // Not set by the page's own rules when MPControl is missing; the services' default (0) is
  // taken, so that the page shows what the USB service does with no key.
  std::int32_t enable_mp_limit = 0;
  std::int32_t touch_pressure = 0;
  std::int32_t touch_velocity = 100;
};

// A missing MPControl gives the members' initial values above. An existing one is read in the
// page's order (MPXLimitStart, MPXLimitEnd, MPYLimitStart, MPYLimitEnd, MPAllowState,
// MPLimitState, EnableMouseAction, FirstTouchOnly, EnableTouchCorrect, EnableMPLimit,
// MPTouchPressure, MPTouchVelocity), and each value that cannot be read is 0, except
// MPTouchVelocity, which is 100.
MultiPointValues ReadMultiPointValues(SettingsStore& store);

// Creates or opens MPControl and writes the eleven values as REG_DWORD in the page's order
// (the four limits, MPAllowState, EnableMouseAction, FirstTouchOnly, EnableTouchCorrect,
// EnableMPLimit, MPTouchPressure, MPTouchVelocity); MPLimitState is left as it is. Returns false
// when MPControl cannot be created (nothing is written; the services are told anyway).
bool WriteMultiPointValues(SettingsStore& store, const MultiPointValues& values);

// The option check boxes and the value each one carries (checked = 1).
struct OptionBox {
  int control_id;
  std::int32_t MultiPointValues::*value;
};
// In the order the page checks them at initialisation.
inline constexpr std::array<OptionBox, 4> kOptionBoxes{
    {{IDC_ENABLE_MOUSE_ACTION, &MultiPointValues::enable_mouse_action},
     {IDC_ENABLE_MP_LIMIT, &MultiPointValues::enable_mp_limit},
     {IDC_FIRST_TOUCH_ONLY, &MultiPointValues::first_touch_only},
     {IDC_ENABLE_TOUCH_CORRECT, &MultiPointValues::enable_touch_correct}}};

// A number field that edits one end of a range slider.
struct RangeField {
  enum class End { kStart, kEnd };
  int control_id;
  int slider_id;
  End end;
};
inline constexpr std::array<RangeField, 4> kRangeFields{
    {{IDC_X_LIMIT_START, IDC_X_RANGE_SLIDER, RangeField::End::kStart},
     {IDC_X_LIMIT_END, IDC_X_RANGE_SLIDER, RangeField::End::kEnd},
     {IDC_Y_LIMIT_START, IDC_Y_RANGE_SLIDER, RangeField::End::kStart},
     {IDC_Y_LIMIT_END, IDC_Y_RANGE_SLIDER, RangeField::End::kEnd}}};
const RangeField* FindRangeField(int control_id);

// What a valid number typed into a range field does to its slider.
struct RangeEdit {
  double left;
  double right;
  // Set when the typed end crossed the other one: the field is rewritten with this number.
  std::optional<std::int32_t> rewrite;
};
// A start above the slider's current end (truncated) becomes that end, an end below the current
// start (truncated) becomes that start; the other end stays as it is. The slider then keeps the
// range within its bounds, while the field keeps what was typed.
RangeEdit EditRange(RangeField::End end, std::int32_t typed, double left, double right);

// A slider value as the page shows and stores it: truncated toward zero.
std::int32_t LimitValue(double slider_value);

}  // namespace zorvik::panel
