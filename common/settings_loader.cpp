// Settings loader of the two services.
#include "common/settings_loader.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>

#include "common/decimal_text.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"

namespace zorvik {
namespace {

struct DwordValue {
  const char* name;
  std::int32_t ServiceSettings::*field;
};

constexpr std::array<DwordValue, 7> kGeneralValues{{
    {schema::kMouseMode, &ServiceSettings::MouseMode},
    {schema::kClickMode, &ServiceSettings::ClickMode},
    {schema::kTickFreq, &ServiceSettings::TickFreq},
    {schema::kTicklength, &ServiceSettings::Ticklength},
    {schema::kClickArea, &ServiceSettings::ClickArea},
    {schema::kClickRightLeft, &ServiceSettings::ClickRightLeft},
    {schema::kScreenRotateFlag, &ServiceSettings::ScreenRotateFlag},
}};

struct MpValue {
  const char* name;
  std::int32_t MpControlSettings::*field;
};

constexpr std::array<MpValue, 16> kMpControlValues{{
    {schema::kMpXLimitStart, &MpControlSettings::MPXLimitStart},
    {schema::kMpXLimitEnd, &MpControlSettings::MPXLimitEnd},
    {schema::kMpYLimitStart, &MpControlSettings::MPYLimitStart},
    {schema::kMpYLimitEnd, &MpControlSettings::MPYLimitEnd},
    {schema::kMpAllowState, &MpControlSettings::MPAllowState},
    {schema::kMpLimitState, &MpControlSettings::MPLimitState},
    {schema::kEnableMouseAction, &MpControlSettings::EnableMouseAction},
    {schema::kFirstTouchOnly, &MpControlSettings::FirstTouchOnly},
    {schema::kEnableMpLimit, &MpControlSettings::EnableMPLimit},
    {schema::kMpTouchPressure, &MpControlSettings::MPTouchPressure},
    {schema::kMpTouchVelocity, &MpControlSettings::MPTouchVelocity},
    {schema::kEnableTouchCorrect, &MpControlSettings::EnableTouchCorrect},
    {schema::kMpAreaLimitOption, &MpControlSettings::MPAreaLimitOption},
    {schema::kMpXAllowAreaPercent, &MpControlSettings::MPXAllowAreaPercent},
    {schema::kMpYAllowAreaPercent, &MpControlSettings::MPYAllowAreaPercent},
    {schema::kMpPopupActiveTime, &MpControlSettings::MPPopupActiveTime},
}};

// One per-monitor text value: its name format, where it goes, and its default.
struct MonitorValue {
  const char* format;
  std::int32_t& (*field)(MonitorMapping&);
  std::int32_t default_value;  // kFullZoom stands for the service's 100 % zoom
};

constexpr std::int32_t kFullZoom = -1;

// clang-format off
constexpr MonitorValue kMonY{schema::kMonYFormat, [](MonitorMapping& m) -> std::int32_t& { return m.YOffset; }, 0};
constexpr MonitorValue kMonX{schema::kMonXFormat, [](MonitorMapping& m) -> std::int32_t& { return m.XOffset; }, 0};
constexpr MonitorValue kMonYZoomA{schema::kMonYZoomAFormat, [](MonitorMapping& m) -> std::int32_t& { return m.YZoom; }, kFullZoom};
constexpr MonitorValue kMonXZoomA{schema::kMonXZoomAFormat, [](MonitorMapping& m) -> std::int32_t& { return m.XZoom; }, kFullZoom};
constexpr MonitorValue kMonYZoom{schema::kMonYZoomFormat, [](MonitorMapping& m) -> std::int32_t& { return m.YZoom; }, kFullZoom};
constexpr MonitorValue kMonXZoom{schema::kMonXZoomFormat, [](MonitorMapping& m) -> std::int32_t& { return m.XZoom; }, kFullZoom};
constexpr MonitorValue kMonAn{schema::kMonAnFormat, [](MonitorMapping& m) -> std::int32_t& { return m.matrix.An; }, 1};
constexpr MonitorValue kMonBn{schema::kMonBnFormat, [](MonitorMapping& m) -> std::int32_t& { return m.matrix.Bn; }, 0};
constexpr MonitorValue kMonCn{schema::kMonCnFormat, [](MonitorMapping& m) -> std::int32_t& { return m.matrix.Cn; }, 0};
constexpr MonitorValue kMonDn{schema::kMonDnFormat, [](MonitorMapping& m) -> std::int32_t& { return m.matrix.Dn; }, 0};
constexpr MonitorValue kMonEn{schema::kMonEnFormat, [](MonitorMapping& m) -> std::int32_t& { return m.matrix.En; }, 1};
constexpr MonitorValue kMonFn{schema::kMonFnFormat, [](MonitorMapping& m) -> std::int32_t& { return m.matrix.Fn; }, 0};
constexpr MonitorValue kMonDivider{schema::kMonDividerFormat, [](MonitorMapping& m) -> std::int32_t& { return m.matrix.Divider; }, 1};
// clang-format on

// The two services read the same values in different orders and under different zoom names.
constexpr std::array<MonitorValue, 11> kUsbMonitorValues{kMonY,  kMonX,       kMonYZoomA, kMonAn,
                                                         kMonBn, kMonCn,      kMonDn,     kMonEn,
                                                         kMonFn, kMonDivider, kMonXZoomA};
constexpr std::array<MonitorValue, 11> kSerialMonitorValues{kMonY,  kMonX,  kMonYZoom,  kMonXZoom,
                                                            kMonAn, kMonBn, kMonCn,     kMonDn,
                                                            kMonEn, kMonFn, kMonDivider};

std::int32_t FullZoom(ServiceKind kind) {
  return kind == ServiceKind::kUsb ? kUsbFullZoom : kSerialFullZoom;
}

std::span<const MonitorValue> MonitorValues(ServiceKind kind) {
  if (kind == ServiceKind::kUsb) return kUsbMonitorValues;
  return kSerialMonitorValues;
}

// Counts read from the store bound loops over "%02d" names.
int NumberedCount(std::int32_t count) {
  return std::clamp(count, 0, schema::kMaxNumberedNames);
}

}  // namespace

SettingsLoader::SettingsLoader(SettingsStore& store, ServiceKind kind, ScreenSize primary,
                               DesktopOrigin origin)
    : store_(store), kind_(kind), primary_(primary), origin_(origin) {}

ServiceSettings SettingsLoader::LoadService() const {
  ServiceSettings settings;
  LoadGeneral(settings);
  if (kind_ == ServiceKind::kUsb) LoadMpControl(settings);
  LoadMonitorMaps(settings);
  return settings;
}

void SettingsLoader::LoadGeneral(ServiceSettings& settings) const {
  const ServiceSettings defaults;
  const ScopedKey key =
      OpenKey(store_, store_.LocalMachine(), schema::kGeneralKey, key_rights::kRead);
  for (const DwordValue& value : kGeneralValues) {
    const auto read = key ? ReadInt(store_, key.get(), value.name) : std::nullopt;
    settings.*value.field = read.value_or(defaults.*value.field);
  }
}

void SettingsLoader::LoadMpControl(ServiceSettings& settings) const {
  const ScopedKey key =
      OpenKey(store_, store_.LocalMachine(), schema::kMpControlKey, key_rights::kRead);
  if (!key) {
    settings.mp = kMpControlKeyAbsent;
    return;
  }
  for (const MpValue& value : kMpControlValues) {
    settings.mp.*value.field =
        ReadInt(store_, key.get(), value.name).value_or(kMpControlValueAbsent.*value.field);
  }
}

void SettingsLoader::LoadMonitorMaps(ServiceSettings& settings) const {
  const ScopedKey key =
      OpenKey(store_, store_.LocalMachine(), schema::kMonitorMapsKey, key_rights::kRead);
  const auto read = [&](const char* name, std::int32_t fallback) {
    return key ? ReadInt(store_, key.get(), name).value_or(fallback) : fallback;
  };
  settings.MultiMonSupport = read(schema::kMultiMonSupport, 0);
  settings.MultiMonMode = read(schema::kMultiMonMode, 0);
  settings.VirtualWidth = read(schema::kVirtualScreenWidth, primary_.width);
  settings.VirtualHeight = read(schema::kVirtualScreenHeight, primary_.height);
  settings.virtual_origin = origin_;
}

void SettingsLoader::LoadDevice(const ServiceSettings& service, std::string_view identity,
                                DeviceSettings& device,
                                const std::function<void()>& reopen_ack) const {
  device.MouseMode = service.MouseMode;
  device.ClickArea = service.ClickArea;
  device.ClickMode = service.ClickMode;
  device.ClickRightLeft = service.ClickRightLeft;
  device.ScreenRotateFlag = service.ScreenRotateFlag;
  device.MultiMonSupport = service.MultiMonSupport;
  device.MultiMonMode = service.MultiMonMode;
  device.VirtualWidth = service.VirtualWidth;
  device.VirtualHeight = service.VirtualHeight;
  device.virtual_origin = service.virtual_origin;
  if (kind_ == ServiceKind::kUsb) device.mp = service.mp;

  const int found = FindDisplayIndex(identity);
  device.display_index = found < 0 ? 0 : found;
  // The USB service reads the rectangle of the display it settled on; the serial service reads
  // it with the lookup result itself, so "not found" gives the primary screen.
  device.monitor = ReadMonitorRect(kind_ == ServiceKind::kUsb ? device.display_index : found);
  if (reopen_ack) reopen_ack();
  ReadMonitorMapping(device.display_index, device.mapping);
}

int SettingsLoader::FindDisplayIndex(std::string_view identity) const {
  const ScopedKey maps =
      OpenKey(store_, store_.LocalMachine(), schema::kMonitorMapsKey, key_rights::kRead);
  if (!maps) return -1;
  const int monitors =
      NumberedCount(ReadInt(store_, maps.get(), schema::kMonitorCount).value_or(0));
  for (int i = 0; i < monitors; ++i) {
    const ScopedKey display =
        OpenKey(store_, store_.LocalMachine(), schema::NumberedName(schema::kDisplayKeyFormat, i),
                key_rights::kRead);
    if (!display) break;
    const int attached =
        NumberedCount(ReadInt(store_, display.get(), schema::kAttachedDeviceNo).value_or(0));
    for (int j = 0; j < attached; ++j) {
      const auto device =
          ReadText(store_, display.get(), schema::NumberedName(schema::kDeviceFormat, j));
      if (device && device->view() == identity) return i;
    }
  }
  return -1;
}

MonitorRect SettingsLoader::ReadMonitorRect(int display_index) const {
  const ScopedKey display =
      OpenKey(store_, store_.LocalMachine(),
              schema::NumberedName(schema::kDisplayKeyFormat, display_index), key_rights::kRead);
  if (!display) return {0, 0, primary_.width, primary_.height};
  const auto read = [&](const char* name, std::int32_t fallback) {
    return ReadInt(store_, display.get(), name).value_or(fallback);
  };
  const std::int32_t x = read(schema::kMonitorX, 0);
  const std::int32_t y = read(schema::kMonitorY, 0);
  const std::int32_t cx = read(schema::kMonitorCX, primary_.width);
  const std::int32_t cy = read(schema::kMonitorCY, primary_.height);
  // Wrapping addition: the registry may hold any 32-bit values.
  const auto add = [](std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
  };
  return {x, y, add(x, cx), add(y, cy)};
}

void SettingsLoader::ReadMonitorMapping(int display_index, MonitorMapping& mapping) const {
  const std::int32_t full_zoom = FullZoom(kind_);
  const ScopedKey general =
      OpenKey(store_, store_.LocalMachine(), schema::kGeneralKey, key_rights::kRead);
  if (!general) {
    mapping.XOffset = mapping.YOffset = 0;
    mapping.XZoom = mapping.YZoom = full_zoom;
    return;
  }
  for (const MonitorValue& value : MonitorValues(kind_)) {
    const std::int32_t fallback =
        value.default_value == kFullZoom ? full_zoom : value.default_value;
    const auto text =
        ReadText(store_, general.get(), schema::NumberedName(value.format, display_index));
    value.field(mapping) = (text && text->length != 0) ? AtoiRule(text->view()) : fallback;
  }
}

}  // namespace zorvik
