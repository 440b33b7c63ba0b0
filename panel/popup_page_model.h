// The Popup Control page's settings: the five MPControl popup values, the edge check boxes and
// their bits, the sliders' ranges, the start/stop button's state and captions, and where the
// popup program Popdeck is found and how a running one is recognised.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/settings_store.h"
#include "panel/panel_resources.h"
#include "panel/setup_page_model.h"

namespace zorvik::panel {

// The same defaults whether MPControl or only the value is missing.
struct PopupValues {
  std::int32_t area_limit_option = 15;
  std::int32_t x_allow_area_percent = 5;
  std::int32_t y_allow_area_percent = 5;
  std::int32_t popup_active_time = 5;
  std::int32_t popup_process_state = 0;
};

// Reads MPAreaLimitOption, MPXAllowAreaPercent, MPYAllowAreaPercent, MPPopupActiveTime and
// MPPopupProcessState in that order, each falling back to its default.
PopupValues ReadPopupValues(SettingsStore& store);
// Creates or opens MPControl and writes the five values in the same order. Returns false when
// MPControl cannot be created (nothing is written; the services are told anyway).
bool WritePopupValues(SettingsStore& store, const PopupValues& values);

// The edge check boxes and their bits of MPAreaLimitOption.
struct EdgeBox {
  int control_id;
  std::int32_t bit;
};
// Check order at initialisation; also the order of the sum at Apply.
inline constexpr std::array<EdgeBox, 4> kEdgeBoxes{
    {{IDC_TOP_AREA, 1}, {IDC_BOTTOM_AREA, 2}, {IDC_LEFT_AREA, 4}, {IDC_RIGHT_AREA, 8}}};
bool EdgeChecked(std::int32_t area_limit_option, const EdgeBox& box);
// The option from the four boxes; `checked(control_id)` says whether a box is checked.
template <typename Checked>
std::int32_t AreaLimitOption(Checked checked) {
  std::int32_t option = 0;
  for (const EdgeBox& box : kEdgeBoxes) {
    if (checked(box.control_id)) option += box.bit;
  }
  return option;
}

// The three sliders, each with the number field that wins at Apply and its first position.
struct PopupSlider {
  SliderRange range;
  int field_id;
  std::int32_t initial_position;
  std::int32_t PopupValues::*value;
};
inline constexpr std::array<PopupSlider, 3> kPopupSliders{
    {{{IDC_X_AREA_SLIDER, 1, 40}, IDC_X_AREA_PERCENT, 1, &PopupValues::x_allow_area_percent},
     {{IDC_Y_AREA_SLIDER, 1, 40}, IDC_Y_AREA_PERCENT, 1, &PopupValues::y_allow_area_percent},
     {{IDC_ACTIVE_TIME_SLIDER, 1, 7}, IDC_ACTIVE_TIME, 5, &PopupValues::popup_active_time}}};

inline constexpr char kPopupStartCaption[] = "Popup Control\n\nSTART >>";
inline constexpr char kPopupStopCaption[] = "Popup Control\n\nSTOP >>";
// Any non-zero state shows "STOP >>".
const char* PopupCaption(std::int32_t process_state);

// What a press of the start/stop button does, decided from the state stored in MPControl.
enum class PopupToggle { kNone, kStart, kStop };
// Creates or opens MPControl and reads MPPopupProcessState (0 when the value cannot be read):
// 0 stores 1 and says start, 1 stores 0 and says stop, any other value is left alone. When
// MPControl cannot be created nothing can be stored, so every press says start.
PopupToggle TogglePopupState(SettingsStore& store);

inline constexpr char kPopdeckFile[] = "Popdeck.exe";
inline constexpr char kPopdeckName[] = "Popdeck";
// "<TargetDir>\Popdeck.exe" from Program's TargetDir. Nothing when Program cannot be opened, or
// when TargetDir is missing, not text or empty: there is then no folder to start it from.
std::optional<std::string> PopdeckPath(SettingsStore& store);
// The command line the program is started with: its own path, quoted, and nothing else.
std::string PopdeckCommandLine(std::string_view path);
// A running process is taken for Popdeck when its file name contains "Popdeck", in any case.
bool IsPopdeckProcess(std::string_view exe_file);

}  // namespace zorvik::panel
