// The Multi Monitor Display page's decisions and its MonitorMaps reads and writes.
#include "panel/display_mapping_model.h"

#include <cstdio>

#include "common/settings_access.h"
#include "common/settings_loader.h"
#include "common/settings_schema.h"

namespace zorvik::panel {
namespace {

std::string Format(const char* format, int number) {
  return schema::NumberedName(format, number);
}

DisplayRect RectOf(const MonitorRect& rect) {
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

std::string DisplayKey(int display) {
  return schema::NumberedName(schema::kDisplayKeyFormat, display);
}

void WriteInt(SettingsStore& store, const ScopedKey& key, const char* name, std::int32_t value) {
  WriteDword(store, key.get(), name, static_cast<std::uint32_t>(value));
}

void WriteDisplayDevices(SettingsStore& store, int display,
                         std::span<const DeviceMapping> devices) {
  const ScopedKey key =
      CreateKey(store, store.LocalMachine(), DisplayKey(display), key_rights::kSetValue);
  if (!key) return;
  const std::string name = DisplayName(display);
  WriteText(store, key.get(), schema::kDisplayDeviceName, name);
  int attached = 0;
  for (const DeviceMapping& device : devices) {
    if (device.display != name) continue;
    WriteText(store, key.get(), Format(schema::kDeviceFormat, attached), device.port);
    ++attached;
  }
  WriteInt(store, key, schema::kAttachedDeviceNo, attached);
}

void WriteDisplayRect(SettingsStore& store, int display, const DisplayRect& rect) {
  const ScopedKey key =
      CreateKey(store, store.LocalMachine(), DisplayKey(display), key_rights::kSetValue);
  if (!key) return;
  WriteInt(store, key, schema::kMonitorX, rect.x);
  WriteInt(store, key, schema::kMonitorY, rect.y);
  WriteInt(store, key, schema::kMonitorCX, rect.cx);
  WriteInt(store, key, schema::kMonitorCY, rect.cy);
}

}  // namespace

std::string WorkingAreaText(const MonitorRect& rect) {
  char text[64];
  std::snprintf(text, sizeof text, "(%d,%d,%d,%d)", static_cast<int>(rect.left),
                static_cast<int>(rect.right), static_cast<int>(rect.top),
                static_cast<int>(rect.bottom));
  return text;
}

std::string DisplayName(int display) {
  return Format("DISPLAY %d", display);
}

std::string ActiveMonitorItem(int display) {
  return Format("Display %02d", display);
}

std::string SelectMonitorsItem(int display) {
  return Format("Display%02d", display);
}

ModeView ModeViewFor(std::int32_t support, std::int32_t mode) {
  ModeView view;
  view.radios_enabled = support != 0;
  view.direction_enabled = support != 0;
  switch (mode) {
    case kCloneMode:
    case kIndependentMode:
      view.checked_radio = RadioFor(kModeRadios, mode);
      view.direction_enabled = false;
      break;
    case kStretchHorizontalMode:
    case kStretchVerticalMode:
      // The direction stays usable even with support off.
      view.checked_radio = IDC_STRETCH_MODE;
      view.direction_enabled = true;
      view.direction = mode == kStretchHorizontalMode ? kHorizontial : kVertical;
      break;
    default:
      break;
  }
  return view;
}

std::int32_t ReconcileMode(std::int32_t mode, int direction) {
  if (mode == kStretchHorizontalMode && direction == kVertical) return kStretchVerticalMode;
  if (mode == kStretchVerticalMode && direction == kHorizontial) return kStretchHorizontalMode;
  return mode;
}

std::optional<DisplayRects> SupportedDisplayRects(std::int32_t mode,
                                                  std::span<const Monitor> monitors,
                                                  ScreenSize primary) {
  const DisplayRect r0 = monitors.empty() ? DisplayRect{0, 0, primary.width, primary.height}
                                          : RectOf(monitors[0].rect);
  const std::int32_t half_width = r0.cx / 2;
  const std::int32_t half_height = r0.cy / 2;
  switch (mode) {
    case kCloneMode:
      return DisplayRects{r0, r0};
    case kIndependentMode:
      return DisplayRects{r0, monitors.size() > 1 ? RectOf(monitors[1].rect) : r0};
    case kStretchHorizontalMode:
      return DisplayRects{DisplayRect{r0.x, r0.y, half_width, r0.cy},
                          DisplayRect{r0.x + half_width, r0.y, half_width, r0.cy}};
    case kStretchVerticalMode:
      return DisplayRects{DisplayRect{r0.x, r0.y, r0.cx, half_height},
                          DisplayRect{r0.x, r0.y + half_height, r0.cx, half_height}};
    default:
      return std::nullopt;
  }
}

DisplayRects SingleScreenRects(ScreenSize primary) {
  const DisplayRect screen{0, 0, primary.width, primary.height};
  return {screen, screen};
}

MappingChoice MappingChoiceFor(std::intptr_t dialog_result) {
  if (dialog_result == -1) return {MappingChoice::Kind::kDialogFailed, 0};
  const std::intptr_t display = dialog_result - kSelectMonitorsResultBase;
  // The dialog ends with 500 + an item's index; IDOK, IDCANCEL, IDABORT and anything else that
  // names no display leave the mapping as it is.
  if (display >= 0 && display < kDisplayCount) {
    return {MappingChoice::Kind::kDisplay, static_cast<int>(display)};
  }
  return {MappingChoice::Kind::kUnchanged, 0};
}

MultiMonValues ReadMultiMonValues(SettingsStore& store) {
  MultiMonValues values;
  const ScopedKey maps =
      OpenKey(store, store.LocalMachine(), schema::kMonitorMapsKey, key_rights::kRead);
  if (!maps) return values;
  values.support = ReadInt(store, maps.get(), schema::kMultiMonSupport).value_or(0);
  values.mode = ReadInt(store, maps.get(), schema::kMultiMonMode).value_or(0);
  return values;
}

std::int32_t LookUpActiveMonitor(SettingsStore& store) {
  const ScopedKey maps =
      OpenKey(store, store.LocalMachine(), schema::kMonitorMapsKey, key_rights::kRead);
  if (maps) {
    if (const auto active = ReadInt(store, maps.get(), schema::kActiveMonitor)) return *active;
  }
  const ScopedKey created =
      CreateKey(store, store.LocalMachine(), schema::kMonitorMapsKey, key_rights::kSetValue);
  if (created) WriteDword(store, created.get(), schema::kActiveMonitor, 0);
  return maps ? 0 : -1;
}

int ActiveMonitorSelection(std::int32_t answer) {
  if (answer < 0) return 0;
  return answer < kDisplayCount ? static_cast<int>(answer) : kNoSelection;
}

void WriteActiveMonitor(SettingsStore& store, int index) {
  const ScopedKey maps =
      CreateKey(store, store.LocalMachine(), schema::kMonitorMapsKey, key_rights::kSetValue);
  if (maps) WriteInt(store, maps, schema::kActiveMonitor, index);
}

std::vector<MappedDeviceRow> ReadMappedDeviceRows(SettingsStore& store) {
  // The same display search as the services' (first display in order that lists the device).
  const SettingsLoader loader(store, ServiceKind::kUsb, ScreenSize{});
  std::vector<MappedDeviceRow> rows;
  ReadDeviceRows(store, [&](const DeviceRow& device) {
    const int found = loader.FindDisplayIndex(device.port.view());
    rows.push_back({device, DisplayName(found < 0 ? 0 : found)});
  });
  return rows;
}

DisplayApplied ApplyDisplayPage(SettingsStore& store, const DisplayPageState& state) {
  if (const ScopedKey maps =
          OpenKey(store, store.LocalMachine(), schema::kMonitorMapsKey, key_rights::kRead)) {
    // Every apply starts the two displays afresh: nothing of an earlier mapping survives.
    for (int display = 0; display < kDisplayCount; ++display) {
      DeleteKeyTree(store, maps.get(), Format("Display%02d", display));
    }
  }
  const DisplayApplied applied{ReconcileMode(state.mode, state.direction), state.support != 0};
  if (const ScopedKey maps =
          CreateKey(store, store.LocalMachine(), schema::kMonitorMapsKey, key_rights::kSetValue)) {
    WriteInt(store, maps, schema::kMultiMonSupport, state.support);
    WriteInt(store, maps, schema::kMultiMonMode, applied.mode);
    WriteInt(store, maps, schema::kMonitorCount, kDisplayCount);
    WriteInt(store, maps, schema::kActiveMonitor, LookUpActiveMonitor(store));
    WriteInt(store, maps, schema::kVirtualScreenWidth, state.virtual_screen.width);
    WriteInt(store, maps, schema::kVirtualScreenHeight, state.virtual_screen.height);
  }
  for (int display = 0; display < kDisplayCount; ++display) {
    WriteDisplayDevices(store, display, state.devices);
  }
  const std::optional<DisplayRects> rects =
      applied.signal_services ? SupportedDisplayRects(applied.mode, state.monitors, state.primary)
                              : SingleScreenRects(state.primary);
  if (rects) {
    for (int display = 0; display < kDisplayCount; ++display) {
      WriteDisplayRect(store, display, (*rects)[static_cast<std::size_t>(display)]);
    }
  }
  return applied;
}

}  // namespace zorvik::panel
