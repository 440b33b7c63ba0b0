// Writes settings into a store the way the control panel would, for tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "common/settings_access.h"
#include "common/settings_schema.h"

namespace zorvik::testing {

class SettingsSeed {
 public:
  explicit SettingsSeed(SettingsStore& store) : store_(store) {}

  // `key` is relative to Software\ZorvikTouchParam ("" for the key itself).
  void Key(std::string_view key) { (void)Open(key); }
  void Dword(std::string_view key, std::string_view name, std::uint32_t value) {
    EXPECT_EQ(WriteDword(store_, Open(key).get(), name, value), store_error::kSuccess);
  }
  void Text(std::string_view key, std::string_view name, std::string_view text) {
    EXPECT_EQ(WriteText(store_, Open(key).get(), name, text), store_error::kSuccess);
  }
  void Raw(std::string_view key, std::string_view name, std::uint32_t type, std::string_view data) {
    EXPECT_EQ(store_.SetValue(Open(key).get(), name, type,
                              {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}),
              store_error::kSuccess);
  }
  // A monitor subkey Display%02d with its rectangle and attached device identities.
  void Display(int index, std::int32_t x, std::int32_t y, std::int32_t cx, std::int32_t cy,
               std::initializer_list<std::string_view> devices);

 private:
  ScopedKey Open(std::string_view key) {
    std::string path = "Software\\ZorvikTouchParam";
    if (!key.empty()) path.append("\\").append(key);
    ScopedKey opened = CreateKey(store_, store_.LocalMachine(), path, key_rights::kReadWrite);
    EXPECT_TRUE(opened) << path;
    return opened;
  }

  SettingsStore& store_;
};

inline void SettingsSeed::Display(int index, std::int32_t x, std::int32_t y, std::int32_t cx,
                                  std::int32_t cy,
                                  std::initializer_list<std::string_view> devices) {
  const std::string name = schema::NumberedName("MonitorMaps\\Display%02d", index);
  Dword(name, "X", static_cast<std::uint32_t>(x));
  Dword(name, "Y", static_cast<std::uint32_t>(y));
  Dword(name, "CX", static_cast<std::uint32_t>(cx));
  Dword(name, "CY", static_cast<std::uint32_t>(cy));
  Dword(name, "AttachedDeviceNo", static_cast<std::uint32_t>(devices.size()));
  int j = 0;
  for (std::string_view device : devices) {
    Text(name, schema::NumberedName("Device%02d", j++), device);
  }
}

}  // namespace zorvik::testing
