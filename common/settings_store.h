// The settings store port: the handful of registry operations the programs use on
// HKEY_LOCAL_MACHINE\Software\ZorvikTouchParam. Implemented over the Win32 registry and in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zorvik {

// Results are Win32 error codes; 0 is success.
namespace store_error {
inline constexpr std::uint32_t kSuccess = 0;
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kInvalidHandle = 6;
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kMoreData = 234;
inline constexpr std::uint32_t kNoMoreItems = 259;
inline constexpr std::uint32_t kKeyDeleted = 1018;
}  // namespace store_error

// Registry value types, numbered as Windows numbers them.
namespace value_type {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSz = 1;
inline constexpr std::uint32_t kExpandSz = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
}  // namespace value_type

// An open key. The value is the store's own; 0 means "no key".
using StoreKey = std::uintptr_t;
inline constexpr StoreKey kNoKey = 0;

// Longest key name that enumeration hands out (the programs use 256-byte name buffers).
inline constexpr std::size_t kKeyNameCapacity = 256;

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // The local machine hive; never closed.
  virtual StoreKey LocalMachine() const = 0;

  // Opens an existing key (full access). On failure *key is left untouched.
  virtual std::uint32_t OpenKey(StoreKey parent, std::string_view path, StoreKey* key) = 0;
  // Creates a non-volatile key, or opens it when it exists (full access).
  virtual std::uint32_t CreateKey(StoreKey parent, std::string_view path, StoreKey* key) = 0;
  virtual std::uint32_t CloseKey(StoreKey key) = 0;

  // Copies a value's type and data. *size is the data size in bytes; when `data` is too small
  // the result is kMoreData and nothing is copied.
  virtual std::uint32_t QueryValue(StoreKey key, std::string_view name, std::uint32_t* type,
                                   std::span<std::uint8_t> data, std::uint32_t* size) = 0;
  virtual std::uint32_t SetValue(StoreKey key, std::string_view name, std::uint32_t type,
                                 std::span<const std::uint8_t> data) = 0;

  // Name of the subkey at `index` (kNoMoreItems past the last one), terminated within `name`.
  virtual std::uint32_t EnumKey(StoreKey key, std::uint32_t index, std::span<char> name) = 0;
  // Deletes a key that has no subkeys (as RegDeleteKey does on NT-family systems).
  virtual std::uint32_t DeleteKey(StoreKey parent, std::string_view name) = 0;
};

}  // namespace zorvik
