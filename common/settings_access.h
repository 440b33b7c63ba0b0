// Typed access over the settings store: key ownership, checked DWORD and text reads, text writes
// with the terminating zero, and depth-first deletion of a key tree. The one place for these rules.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/settings_store.h"

namespace zorvik {

// Owns one open key of a store and closes it on destruction.
class ScopedKey {
 public:
  ScopedKey() = default;
  ScopedKey(SettingsStore& store, StoreKey key) : store_(&store), key_(key) {}
  ScopedKey(ScopedKey&& other) noexcept;
  ScopedKey& operator=(ScopedKey&& other) noexcept;
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  ~ScopedKey() { reset(); }

  StoreKey get() const { return key_; }
  explicit operator bool() const { return key_ != kNoKey; }
  // Closes the key; the close result (0 on success, kInvalidHandle when none was held).
  std::uint32_t reset();

 private:
  SettingsStore* store_ = nullptr;
  StoreKey key_ = kNoKey;
};

// Open or create a key with `rights` (key_rights); an empty ScopedKey on failure.
ScopedKey OpenKey(SettingsStore& store, StoreKey parent, std::string_view path,
                  std::uint32_t rights);
ScopedKey CreateKey(SettingsStore& store, StoreKey parent, std::string_view path,
                    std::uint32_t rights);

// Text values are read into a zeroed buffer of this size.
inline constexpr std::size_t kTextCapacity = 260;

struct TextValue {
  std::array<char, kTextCapacity> bytes{};
  std::size_t length = 0;  // up to the first zero byte, or the whole buffer
  std::string_view view() const { return {bytes.data(), length}; }
};

struct DwordRead {
  std::uint32_t result = store_error::kSuccess;  // the store's answer to the query
  std::optional<std::uint32_t> value;
};
// A DWORD is read only when the value is REG_DWORD of exactly 4 bytes.
DwordRead QueryDword(SettingsStore& store, StoreKey key, std::string_view name);
std::optional<std::uint32_t> ReadDword(SettingsStore& store, StoreKey key, std::string_view name);
// Same, as the signed 32-bit integer the programs keep.
std::optional<std::int32_t> ReadInt(SettingsStore& store, StoreKey key, std::string_view name);

// A text is read only when the value is REG_SZ or REG_EXPAND_SZ and fits 260 bytes; the text
// ends at the first zero byte, or at the end of the data when it has none.
std::optional<TextValue> ReadText(SettingsStore& store, StoreKey key, std::string_view name);

std::uint32_t WriteDword(SettingsStore& store, StoreKey key, std::string_view name,
                         std::uint32_t value);
// Stores REG_SZ with the terminating zero counted in the length.
std::uint32_t WriteText(SettingsStore& store, StoreKey key, std::string_view name,
                        std::string_view text);

// Deletes `name` below `parent` with its whole subtree, depth first: the first subkey again and
// again until none is left, then the key itself. An error inside leaves the key in place.
std::uint32_t DeleteKeyTree(SettingsStore& store, StoreKey parent, std::string_view name);

}  // namespace zorvik
