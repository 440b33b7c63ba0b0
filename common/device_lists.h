// The device lists the services keep below the settings key (USBAcitve, SerialAcitve): removed
// and written afresh at every scan. The one place for their layout and the rights each write asks.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/settings_store.h"

namespace zorvik {

// Removes a list key below the settings key: with its whole subtree on NT-family systems, where
// a key with subkeys cannot be deleted at once, and the key alone elsewhere.
void DeleteDeviceList(SettingsStore& store, bool nt_family, const char* list_name);

// NextInstanceCount of a list (creates the list key).
void WriteDeviceCount(SettingsStore& store, const char* list_key, std::uint32_t count);

// One text value of USB controller `number` (USBAcitve\USB%02d).
void WriteUsbDeviceText(SettingsStore& store, int number, std::string_view value_name,
                        std::string_view text);

// One answering serial controller, as SerialAcitve\COM%02d lists it.
struct SerialListEntry {
  int port_number = 0;
  std::string firmware;
  std::string device_id;
};

// Writes SerialAcitve's count, then its entries in one batch. A key that cannot be created ends
// the batch silently.
void WriteSerialDeviceList(SettingsStore& store, std::span<const SerialListEntry> entries);

}  // namespace zorvik
