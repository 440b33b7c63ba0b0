// A settings store that passes every call on to another: the base of the test stores that
// watch or refuse some of the calls.
#pragma once

#include "common/settings_store.h"

namespace zorvik::testing {

class ForwardingStore : public SettingsStore {
 public:
  explicit ForwardingStore(SettingsStore& inner) : inner_(inner) {}

  StoreKey LocalMachine() const override { return inner_.LocalMachine(); }
  std::uint32_t OpenKey(StoreKey parent, std::string_view path, std::uint32_t rights,
                        StoreKey* key) override {
    return inner_.OpenKey(parent, path, rights, key);
  }
  std::uint32_t CreateKey(StoreKey parent, std::string_view path, std::uint32_t rights,
                          StoreKey* key) override {
    return inner_.CreateKey(parent, path, rights, key);
  }
  std::uint32_t CloseKey(StoreKey key) override { return inner_.CloseKey(key); }
  std::uint32_t QueryValue(StoreKey key, std::string_view name, std::uint32_t* type,
                           std::span<std::uint8_t> data, std::uint32_t* size) override {
    return inner_.QueryValue(key, name, type, data, size);
  }
  std::uint32_t SetValue(StoreKey key, std::string_view name, std::uint32_t type,
                         std::span<const std::uint8_t> data) override {
    return inner_.SetValue(key, name, type, data);
  }
  std::uint32_t DeleteValue(StoreKey key, std::string_view name) override {
    return inner_.DeleteValue(key, name);
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
