// A settings store that records what passes through it, for tests of the order of registry work.
#pragma once

#include <string>
#include <vector>

#include "common/settings_store.h"

namespace zorvik::testing {

// Passes every call on and records the keys created, the values read and the values written,
// so that the order of a program's registry work is visible.
class RecordingStore final : public SettingsStore {
 public:
  explicit RecordingStore(SettingsStore& inner) : inner_(inner) {}
  std::vector<std::string> created;
  std::vector<std::string> queried;
  std::vector<std::string> written;

  StoreKey LocalMachine() const override { return inner_.LocalMachine(); }
  std::uint32_t OpenKey(StoreKey parent, std::string_view path, StoreKey* key) override {
    return inner_.OpenKey(parent, path, key);
  }
  std::uint32_t CreateKey(StoreKey parent, std::string_view path, StoreKey* key) override {
    created.emplace_back(path);
    return inner_.CreateKey(parent, path, key);
  }
  std::uint32_t CloseKey(StoreKey key) override { return inner_.CloseKey(key); }
  std::uint32_t QueryValue(StoreKey key, std::string_view name, std::uint32_t* type,
                           std::span<std::uint8_t> data, std::uint32_t* size) override {
    queried.emplace_back(name);
    return inner_.QueryValue(key, name, type, data, size);
  }
  std::uint32_t SetValue(StoreKey key, std::string_view name, std::uint32_t type,
                         std::span<const std::uint8_t> data) override {
    written.emplace_back(name);
    return inner_.SetValue(key, name, type, data);
  }
  std::uint32_t EnumKey(StoreKey key, std::uint32_t index, std::span<char> name) override {
    return inner_.EnumKey(key, index, name);
  }
  std::uint32_t DeleteKey(StoreKey parent, std::string_view name) override {
    return inner_.DeleteKey(parent, name);
  }

 private:
  SettingsStore& inner_;
};

}  // namespace zorvik::testing
