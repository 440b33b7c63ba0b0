// Reads the services' device lists for the Touch Device page.
#include "panel/device_list_model.h"

#include <algorithm>
#include <cstdio>

#include "common/decimal_text.h"
#include "common/settings_schema.h"

namespace zorvik::panel {
namespace {

std::uint32_t InstanceCount(SettingsStore& store, const char* list_key) {
  const ScopedKey list = OpenKey(store, store.LocalMachine(), list_key, key_rights::kRead);
  if (!list) return 0;
  return ReadDword(store, list.get(), schema::kNextInstanceCount).value_or(0);
}

TextValue TextOrEmpty(SettingsStore& store, const ScopedKey& key, const char* name) {
  return ReadText(store, key.get(), name).value_or(TextValue{});
}

TextValue ComPortName(SettingsStore& store, const ScopedKey& key) {
  TextValue name;
  const int written =
      std::snprintf(name.bytes.data(), name.bytes.size(), "COM%d",
                    static_cast<int>(AtoiRule(TextOrEmpty(store, key, schema::kComId).view())));
  name.length = static_cast<std::size_t>(std::clamp(written, 0, int{kTextCapacity} - 1));
  return name;
}

}  // namespace

void ReadDeviceRows(SettingsStore& store, const std::function<void(const DeviceRow&)>& row) {
  const std::uint32_t usb_count =
      std::min(InstanceCount(store, schema::kUsbActiveKey), kLastUsbDeviceNumber);
  for (std::uint32_t k = 1; k <= usb_count; ++k) {
    const ScopedKey key =
        OpenKey(store, store.LocalMachine(),
                schema::NumberedName(schema::kUsbDeviceKeyFormat, int(k)), key_rights::kRead);
    if (!key) continue;
    row(DeviceRow{DeviceKind::kUsb, TextOrEmpty(store, key, schema::kUsbId),
                  TextOrEmpty(store, key, schema::kFirmwareVersion),
                  TextOrEmpty(store, key, schema::kDeviceId)});
  }
  const std::uint32_t serial_count =
      std::min(InstanceCount(store, schema::kSerialActiveKey), kSerialDeviceNumbers);
  for (std::uint32_t k = 0; k < serial_count; ++k) {
    const ScopedKey key =
        OpenKey(store, store.LocalMachine(),
                schema::NumberedName(schema::kSerialDeviceKeyFormat, int(k)), key_rights::kRead);
    if (!key) continue;
    row(DeviceRow{DeviceKind::kSerial, ComPortName(store, key),
                  TextOrEmpty(store, key, schema::kFirmwareVersion),
                  TextOrEmpty(store, key, schema::kDeviceId)});
  }
}

}  // namespace zorvik::panel
