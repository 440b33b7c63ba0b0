// The services' loaded copy of the settings and the per-controller copy with its monitor and
// calibration, with the defaults that stand for missing keys and values.
#pragma once

#include <cstdint>

namespace zorvik {

struct ScreenSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Where the virtual desktop begins (SM_XVIRTUALSCREEN, SM_YVIRTUALSCREEN): negative when a
// monitor lies left of or above the primary. Absolute pointer units 0..65535 span the desktop
// from here, not from the primary's corner.
struct DesktopOrigin {
  std::int32_t x = 0;
  std::int32_t y = 0;

  bool operator==(const DesktopOrigin&) const = default;
};

// The sixteen MPControl values read by the USB service, in table order.
struct MpControlSettings {
  std::int32_t MPXLimitStart = 0;
  std::int32_t MPXLimitEnd = 1000;
  std::int32_t MPYLimitStart = 0;
  std::int32_t MPYLimitEnd = 1000;
  std::int32_t MPAllowState = 1;
  std::int32_t MPLimitState = 1;
  std::int32_t EnableMouseAction = 1;
  std::int32_t FirstTouchOnly = 1;
  std::int32_t EnableMPLimit = 0;
  std::int32_t MPTouchPressure = 0;
  std::int32_t MPTouchVelocity = 100;
  std::int32_t EnableTouchCorrect = 0;
  std::int32_t MPAreaLimitOption = 15;
  std::int32_t MPXAllowAreaPercent = 5;
  std::int32_t MPYAllowAreaPercent = 5;
  std::int32_t MPPopupActiveTime = 5;

  bool operator==(const MpControlSettings&) const = default;
};

// Defaults when the MPControl key is absent (the member initialisers above)...
inline constexpr MpControlSettings kMpControlKeyAbsent{};
// ...and when the key exists but a value is missing.
inline constexpr MpControlSettings kMpControlValueAbsent{.MPXLimitStart = 0,
                                                         .MPXLimitEnd = 0,
                                                         .MPYLimitStart = 0,
                                                         .MPYLimitEnd = 0,
                                                         .MPAllowState = 0,
                                                         .MPLimitState = 0,
                                                         .EnableMouseAction = 0,
                                                         .FirstTouchOnly = 0,
                                                         .EnableMPLimit = 0,
                                                         .MPTouchPressure = 0,
                                                         .MPTouchVelocity = 100,
                                                         .EnableTouchCorrect = 0,
                                                         .MPAreaLimitOption = 15,
                                                         .MPXAllowAreaPercent = 5,
                                                         .MPYAllowAreaPercent = 5,
                                                         .MPPopupActiveTime = 5};

// A service's loaded settings. The initialisers are the schema defaults, so a tick raised before
// the first load plays 1711 Hz for 28 ms.
struct ServiceSettings {
  std::int32_t MouseMode = 0;
  std::int32_t ClickMode = 1;
  std::int32_t TickFreq = 1711;
  std::int32_t Ticklength = 28;
  std::int32_t ClickArea = 500;
  std::int32_t ClickRightLeft = 0;
  std::int32_t ScreenRotateFlag = 0;
  MpControlSettings mp;  // not read by the serial service
  std::int32_t MultiMonSupport = 0;
  std::int32_t MultiMonMode = 0;
  std::int32_t VirtualWidth = 0;  // SM_CXVIRTUALSCREEN; default: primary screen width
  std::int32_t VirtualHeight = 0;
  DesktopOrigin virtual_origin;  // from the system, not the registry

  bool operator==(const ServiceSettings&) const = default;
};

// x' = (An·x + Bn·y + Cn) / Divider, y' = (Dn·x + En·y + Fn) / Divider; identity by default.
struct CalibrationMatrix {
  std::int32_t An = 1;
  std::int32_t Bn = 0;
  std::int32_t Cn = 0;
  std::int32_t Dn = 0;
  std::int32_t En = 1;
  std::int32_t Fn = 0;
  std::int32_t Divider = 1;

  bool operator==(const CalibrationMatrix&) const = default;
};

struct MonitorRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  bool operator==(const MonitorRect&) const = default;
};

// One monitor's mapping: offsets in thousandths of the pointer range, zooms (ten-thousandths for
// the USB service, thousandths for the serial service) and the calibration matrix.
struct MonitorMapping {
  std::int32_t XOffset = 0;
  std::int32_t YOffset = 0;
  std::int32_t XZoom = 0;
  std::int32_t YZoom = 0;
  CalibrationMatrix matrix;

  bool operator==(const MonitorMapping&) const = default;
};

// What a settings load copies into one controller.
struct DeviceSettings {
  std::int32_t MouseMode = 0;
  std::int32_t ClickArea = 500;
  std::int32_t ClickMode = 0;
  std::int32_t ClickRightLeft = 0;
  std::int32_t ScreenRotateFlag = 0;
  std::int32_t MultiMonSupport = 0;
  std::int32_t MultiMonMode = 0;
  std::int32_t VirtualWidth = 0;
  std::int32_t VirtualHeight = 0;
  DesktopOrigin virtual_origin;
  MpControlSettings mp;
  std::int32_t display_index = 0;
  MonitorRect monitor;
  MonitorMapping mapping;

  bool operator==(const DeviceSettings&) const = default;
};

// The two services load the same schema with a few differences (names, defaults, order).
enum class ServiceKind { kUsb, kSerial };

// Zoom meaning 100 % for each service, used when General cannot be opened or a zoom is missing.
inline constexpr std::int32_t kUsbFullZoom = 10000;
inline constexpr std::int32_t kSerialFullZoom = 1000;

// A controller before its first settings load: primary screen, identity calibration, and the
// service's 100 % zoom (a USB controller at zoom 1000 would map its first touches, before the
// load that follows a start, to a tenth of the screen).
DeviceSettings NewDeviceSettings(ScreenSize primary, ServiceKind kind = ServiceKind::kUsb);

}  // namespace zorvik
