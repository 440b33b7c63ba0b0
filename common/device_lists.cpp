// The services' device lists.
#include "common/device_lists.h"

#include <string>

#include "common/registry_batch_writer.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"

namespace zorvik {

void DeleteDeviceList(SettingsStore& store, bool nt_family, const char* list_name) {
  // The root handle only names the parent: deleting needs the delete right on the list itself.
  const ScopedKey root = OpenKey(store, store.LocalMachine(), schema::kRootKey, key_rights::kRead);
  if (!root) return;
  if (nt_family) {
    DeleteKeyTree(store, root.get(), list_name);
  } else {
    store.DeleteKey(root.get(), list_name);
  }
}

void WriteDeviceCount(SettingsStore& store, const char* list_key, std::uint32_t count) {
  if (const ScopedKey list =
          CreateKey(store, store.LocalMachine(), list_key, key_rights::kSetValue)) {
    WriteDword(store, list.get(), schema::kNextInstanceCount, count);
  }
}

void WriteUsbDeviceText(SettingsStore& store, int number, std::string_view value_name,
                        std::string_view text) {
  const ScopedKey key =
      CreateKey(store, store.LocalMachine(),
                schema::NumberedName(schema::kUsbDeviceKeyFormat, number), key_rights::kSetValue);
  if (key) WriteText(store, key.get(), value_name, text);
}

void WriteSerialDeviceList(SettingsStore& store, std::span<const SerialListEntry> entries) {
  // The writer's destructor writes the batch, after the count, and keeps its error to itself.
  RegistryBatchWriter writer(store, store.LocalMachine(), schema::kSerialActiveKey);
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const std::string subkey =
        schema::NumberedName(schema::kSerialDeviceSubkeyFormat, static_cast<int>(k)) + "\\";
    writer.SetInteger(subkey + schema::kComId, entries[k].port_number);
    writer.SetText(subkey + schema::kDeviceActive, schema::kDeviceActiveYes);
    writer.SetText(subkey + schema::kFirmwareVersion, entries[k].firmware);
    writer.SetText(subkey + schema::kDeviceId, entries[k].device_id);
  }
  WriteDeviceCount(store, schema::kSerialActiveKey, static_cast<std::uint32_t>(entries.size()));
}

}  // namespace zorvik
