// What the Multi Monitor Display page decides without a window: the texts of its lists, the
// controls a support flag and mode stand for, the display rectangles of each mode from the
// system's monitor list, and the MonitorMaps values it reads and writes, in its order.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/service_settings.h"
#include "common/settings_store.h"
#include "panel/device_list_model.h"
#include "panel/panel_resources.h"
#include "panel/setup_page_model.h"

namespace zorvik::panel {

// The page handles two displays, Display00 and Display01, however many monitors there are.
inline constexpr int kDisplayCount = 2;

// MultiMonMode.
inline constexpr std::int32_t kCloneMode = 0;
inline constexpr std::int32_t kIndependentMode = 1;
inline constexpr std::int32_t kStretchHorizontalMode = 2;
inline constexpr std::int32_t kStretchVerticalMode = 3;

// "Stretch mode" stands for 2; the direction drop-down turns it into 3 at apply.
inline constexpr std::array<RadioChoice, 3> kModeRadios{
    {{IDC_CLONE_MODE, kCloneMode},
     {IDC_INDEPENDENT_MODE, kIndependentMode},
     {IDC_STRETCH_MODE, kStretchHorizontalMode}}};

// A drop-down with no item selected.
inline constexpr int kNoSelection = -1;

// Items of the stretch direction drop-down, by index ("Horizontial" as the page spells it).
inline constexpr int kHorizontial = 0;
inline constexpr int kVertical = 1;
inline constexpr std::array<const char*, 2> kStretchDirections{"Horizontial", "Vertical"};

// One monitor as the system enumerates it: device name and full monitor rectangle.
struct Monitor {
  std::string name;
  MonitorRect rect;
};

// A display's rectangle as stored: left, top, width, height in virtual-screen pixels.
struct DisplayRect {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t cx = 0;
  std::int32_t cy = 0;
  bool operator==(const DisplayRect&) const = default;
};
using DisplayRects = std::array<DisplayRect, kDisplayCount>;

// The monitor list's "Working Area": "(left,right,top,bottom)".
std::string WorkingAreaText(const MonitorRect& rect);
// "DISPLAY %d": the device list's second column and a display's DisplayDeviceName.
std::string DisplayName(int display);
// "Display %02d": the active monitor drop-down's items.
std::string ActiveMonitorItem(int display);
// "Display%02d": the "Select monitors" dialog's items.
std::string SelectMonitorsItem(int display);

// How the mode controls look after initialisation for a stored support flag and mode.
struct ModeView {
  bool radios_enabled = false;
  bool direction_enabled = false;
  int checked_radio = 0;         // 0: none is checked
  int direction = kNoSelection;  // the item to select; kNoSelection leaves the selection as is
};
ModeView ModeViewFor(std::int32_t support, std::int32_t mode);

// The mode to store: a stretch mode follows the selected direction; any other mode, or no
// selection, is kept.
std::int32_t ReconcileMode(std::int32_t mode, int direction);

// Display00 and Display01 with multi-monitor support on, from the monitors in enumeration order;
// nothing for a mode outside 0..3. With no monitor at all the primary screen stands for monitor 0.
std::optional<DisplayRects> SupportedDisplayRects(std::int32_t mode,
                                                  std::span<const Monitor> monitors,
                                                  ScreenSize primary);
// Both displays with support off: the primary screen at the origin.
DisplayRects SingleScreenRects(ScreenSize primary);

// What the "Select monitors" dialog's result means for the selected device.
inline constexpr int kSelectMonitorsResultBase = 500;
struct MappingChoice {
  enum class Kind { kUnchanged, kDialogFailed, kDisplay };
  Kind kind = Kind::kUnchanged;
  int display = 0;
};
MappingChoice MappingChoiceFor(std::intptr_t dialog_result);

// MultiMonSupport and MultiMonMode; 0 for each that cannot be read.
struct MultiMonValues {
  std::int32_t support = 0;
  std::int32_t mode = 0;
};
MultiMonValues ReadMultiMonValues(SettingsStore& store);

// The active monitor lookup shared with calibration and fine correction: ActiveMonitor of
// MonitorMaps. A missing key is created with ActiveMonitor 0 and answers -1; a missing value is
// written as 0 and answers 0.
std::int32_t LookUpActiveMonitor(SettingsStore& store);
// The drop-down item showing a lookup answer: a negative answer shows "Display 00", a value
// without an item shows none.
int ActiveMonitorSelection(std::int32_t answer);
// Writes ActiveMonitor at once, creating MonitorMaps when needed.
void WriteActiveMonitor(SettingsStore& store, int index);

// A row of the page's device list: the device as the Touch Device page reads it, and the name of
// the display it is attached to ("DISPLAY 0" when no display lists it).
struct MappedDeviceRow {
  DeviceRow device;
  std::string display;
};
std::vector<MappedDeviceRow> ReadMappedDeviceRows(SettingsStore& store);

// A device list row as apply sees it: first and second column.
struct DeviceMapping {
  std::string port;
  std::string display;
};

struct DisplayPageState {
  std::int32_t support = 0;
  std::int32_t mode = 0;
  int direction = kNoSelection;
  ScreenSize virtual_screen;  // SM_CXVIRTUALSCREEN, SM_CYVIRTUALSCREEN now
  ScreenSize primary;         // SM_CXSCREEN, SM_CYSCREEN now
  std::span<const Monitor> monitors;
  std::span<const DeviceMapping> devices;  // top to bottom
};

struct DisplayApplied {
  std::int32_t mode = 0;         // after reconciliation with the direction
  bool signal_services = false;  // only with support on
};

// Rebuilds MonitorMaps: deletes Display00 and Display01 with their subtrees, writes the MonitorMaps
// values, each display's name and devices, then the rectangles of support on or off.
DisplayApplied ApplyDisplayPage(SettingsStore& store, const DisplayPageState& state);

}  // namespace zorvik::panel
