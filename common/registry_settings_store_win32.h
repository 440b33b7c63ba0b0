// The settings store over the Win32 registry (ANSI calls, the rights each open asks for,
// non-volatile keys).
#pragma once

#include <windows.h>

#include "common/settings_store.h"

namespace zorvik {

class RegistrySettingsStore final : public SettingsStore {
 public:
  static StoreKey FromHkey(HKEY key) { return reinterpret_cast<StoreKey>(key); }
  static HKEY ToHkey(StoreKey key) { return reinterpret_cast<HKEY>(key); }

  StoreKey LocalMachine() const override { return FromHkey(HKEY_LOCAL_MACHINE); }
  std::uint32_t OpenKey(StoreKey parent, std::string_view path, std::uint32_t rights,
                        StoreKey* key) override;
  std::uint32_t CreateKey(StoreKey parent, std::string_view path, std::uint32_t rights,
                          StoreKey* key) override;
  std::uint32_t CloseKey(StoreKey key) override;
  std::uint32_t QueryValue(StoreKey key, std::string_view name, std::uint32_t* type,
                           std::span<std::uint8_t> data, std::uint32_t* size) override;
  std::uint32_t SetValue(StoreKey key, std::string_view name, std::uint32_t type,
                         std::span<const std::uint8_t> data) override;
  std::uint32_t DeleteValue(StoreKey key, std::string_view name) override;
  std::uint32_t EnumKey(StoreKey key, std::uint32_t index, std::span<char> name) override;
  std::uint32_t DeleteKey(StoreKey parent, std::string_view name) override;
};

}  // namespace zorvik
