// The Setup page's settings: the seven General values it shows and writes, their defaults,
// the sliders' ranges and which radio button stands for which value.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "common/settings_store.h"
#include "panel/panel_resources.h"

namespace zorvik::panel {

struct RadioChoice {
  int control_id;
  std::int32_t value;
};

inline constexpr std::array<RadioChoice, 3> kClickModeRadios{
    {{IDC_NO_SOUND, 0}, {IDC_TOUCH_DOWN, 1}, {IDC_LIFT_UP, 2}}};
inline constexpr std::array<RadioChoice, 2> kMouseModeRadios{
    {{IDC_DRAWING_MODE, 0}, {IDC_TOUCH_ONLY_MODE, 1}}};
// "360 Degree" keeps its own value; it is not 0.
inline constexpr std::array<RadioChoice, 5> kRotationRadios{{{IDC_ROTATE_0, 0},
                                                             {IDC_ROTATE_90, 90},
                                                             {IDC_ROTATE_180, 180},
                                                             {IDC_ROTATE_270, 270},
                                                             {IDC_ROTATE_360, 360}}};

// The button that shows `value`, or 0 when no button of the group does.
int RadioFor(std::span<const RadioChoice> group, std::int32_t value);
struct RadioHit {
  std::span<const RadioChoice> group;  // the buttons checked and unchecked together
  std::int32_t value;                  // the value the clicked button stands for
};
// The group and value of a radio button of the page; nothing for any other control.
std::optional<RadioHit> FindRadio(int control_id);

struct SliderRange {
  int control_id;
  std::int32_t low;
  std::int32_t high;
  // A trackbar shows a value outside its range at the nearer end.
  std::int32_t Clamp(std::int32_t value) const;
};

inline constexpr SliderRange kSpeedSlider{IDC_DOUBLE_CLICK_SPEED, 200, 900};
inline constexpr SliderRange kAreaSlider{IDC_DOUBLE_CLICK_AREA, 0, 2000};
inline constexpr SliderRange kLengthSlider{IDC_TONE_LENGTH, 1, 200};
inline constexpr SliderRange kToneSlider{IDC_TONE, 500, 2000};
// Set in this order at initialisation.
inline constexpr std::array<SliderRange, 4> kSetupSliders{kSpeedSlider, kAreaSlider, kLengthSlider,
                                                          kToneSlider};

struct SetupValues {
  std::int32_t mouse_mode = 0;
  std::int32_t click_mode = 1;
  std::int32_t tick_freq = 1711;
  std::int32_t tick_length = 28;
  std::int32_t click_area = 500;
  std::int32_t screen_rotate = 0;
  // Absent when not stored: the page then keeps the system's double-click time.
  std::optional<std::int32_t> double_click_speed;
};

// Reads General in the page's order (MouseMode, ClickMode, TickFreq, Ticklength, ClickArea,
// ScreenRotateFlag, DoubleClickSpeed); each value that cannot be read keeps its default, and a
// General that cannot be opened gives all defaults.
SetupValues ReadSetupValues(SettingsStore& store);

// What Apply writes: the three radio members, the three slider positions and the system's
// double-click time in force.
struct SetupApplied {
  std::int32_t screen_rotate;
  std::int32_t mouse_mode;
  std::int32_t click_mode;
  std::int32_t tone_position;
  std::int32_t length_position;
  std::int32_t area_position;
  std::uint32_t double_click_time;
};

// Creates or opens General and writes all seven values as REG_DWORD, in the page's order.
// Returns false when General cannot be created (nothing is written; the services are told
// anyway).
bool WriteSetupValues(SettingsStore& store, const SetupApplied& values);

// The double-click test picture: icon 178 and 177 alternate, the first double click keeps 178.
class DoubleClickTest {
 public:
  int Icon() const { return icon_; }
  int DoubleClicked() {
    icon_ = flag_ == 0 ? IDI_CLOSED_FOLDER : IDI_OPEN_FOLDER;
    flag_ = flag_ == 0 ? 1 : 0;
    return icon_;
  }

 private:
  int flag_ = 0;
  int icon_ = IDI_CLOSED_FOLDER;
};

}  // namespace zorvik::panel
