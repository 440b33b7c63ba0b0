// Collects "Subkey\Value" entries and writes them in one pass as REG_SZ text below a base key,
// creating each subkey once, in byte-wise name order.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/decimal_text.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"

namespace zorvik {

// Raised by Flush when a key cannot be created or switched.
class RegistryBatchError : public std::runtime_error {
 public:
  static constexpr char kText[] = "Error! Cannot create registry key!";
  RegistryBatchError() : std::runtime_error(kText) {}
};

class RegistryBatchWriter {
 public:
  RegistryBatchWriter(SettingsStore& store, StoreKey root, std::string base_path);
  // Writes the entries once more. The error is swallowed here, since it cannot leave a
  // destructor; callers that must see it call Flush first.
  ~RegistryBatchWriter();
  RegistryBatchWriter(const RegistryBatchWriter&) = delete;
  RegistryBatchWriter& operator=(const RegistryBatchWriter&) = delete;

  // Stores the value's signed decimal text under `name` ("General\MON00X").
  void SetInteger(std::string_view name, std::int64_t value);
  void SetText(std::string_view name, std::string_view text);

  // Writes every entry; throws RegistryBatchError. Entries stay for later flushes.
  void Flush();

  std::size_t EntryCount() const { return entries_.size(); }

 private:
  void SwitchTo(std::string_view subkey);

  SettingsStore& store_;
  StoreKey root_;
  std::string base_path_;
  ScopedKey current_;
  // std::string orders by unsigned bytes: the byte-wise order the writes follow.
  std::map<std::string, std::string> entries_;
};

// Writes the entries `fill` gives below the settings key and closes the writer before returning,
// so that a service told afterwards never reads between the writer's flush and its closing write.
// False when a key could not be created.
template <typename Fill>
bool WriteSettingsBatch(SettingsStore& store, Fill fill) {
  try {
    RegistryBatchWriter writer(store, store.LocalMachine(), schema::kRootKey);
    fill(writer);
    writer.Flush();
  } catch (const RegistryBatchError&) {
    return false;
  }
  return true;
}

}  // namespace zorvik
