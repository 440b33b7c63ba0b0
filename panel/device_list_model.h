// What the Touch Device page lists: the controllers the two services recorded under USBAcitve
// and SerialAcitve, USB rows first, read the way the page reads them.
#pragma once

#include <cstdint>
#include <functional>

#include "common/settings_access.h"

namespace zorvik::panel {

enum class DeviceKind { kUsb, kSerial };

struct DeviceRow {
  DeviceKind kind = DeviceKind::kUsb;
  TextValue port;      // USBID, or "COM%d" of the COMID number
  TextValue firmware;  // FirmwareVersion
  TextValue device;    // DeviceID
  // "USB" or "COM Port", the fourth column.
  const char* CommDevice() const { return kind == DeviceKind::kUsb ? "USB" : "COM Port"; }
  // Image list index: 0 the USB device icon, 1 the serial device icon.
  int Icon() const { return kind == DeviceKind::kUsb ? 0 : 1; }
};

// The device keys have two-digit numbers: USB01..USB99 and COM00..COM99. A NextInstanceCount
// beyond them (any other program may write it) reads no further than these.
inline constexpr std::uint32_t kLastUsbDeviceNumber = 99;
inline constexpr std::uint32_t kSerialDeviceNumbers = 100;

// Calls `row` for each device key that opens: USB01..USB<N>, then COM00..COM<M-1>. A missing
// list key or count gives no rows of that kind; a missing value leaves its text empty.
void ReadDeviceRows(SettingsStore& store, const std::function<void(const DeviceRow&)>& row);

}  // namespace zorvik::panel
