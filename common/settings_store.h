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

// Rights a key is opened with, numbered as Windows numbers them. Each open asks only for what it
// will do with the key: the services run with the signed-in user's standard token, which may read
// the local machine's Software key but write only below the settings key, where setup grants it,
// and an open that asks for more than the token holds fails as a whole.
namespace key_rights {
inline constexpr std::uint32_t kQueryValue = 0x0001;
inline constexpr std::uint32_t kSetValue = 0x0002;
inline constexpr std::uint32_t kCreateSubKey = 0x0004;
inline constexpr std::uint32_t kEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kNotify = 0x0010;
inline constexpr std::uint32_t kDelete = 0x00010000;
inline constexpr std::uint32_t kReadControl = 0x00020000;
// KEY_READ: values, subkey names, change notification and the key's security.
inline constexpr std::uint32_t kRead = kReadControl | kQueryValue | kEnumerateSubKeys | kNotify;
// For a key whose values are read and written through the same handle.
inline constexpr std::uint32_t kReadWrite = kRead | kSetValue;
}  // namespace key_rights

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

  // Opens an existing key with `rights` (key_rights). On failure *key is left untouched.
  virtual std::uint32_t OpenKey(StoreKey parent, std::string_view path, std::uint32_t rights,
                                StoreKey* key) = 0;
  // Creates a non-volatile key, or opens it when it exists, with `rights`. Creating a key needs
  // the right to create subkeys of its parent, whatever the handle asks for.
  virtual std::uint32_t CreateKey(StoreKey parent, std::string_view path, std::uint32_t rights,
                                  StoreKey* key) = 0;
  virtual std::uint32_t CloseKey(StoreKey key) = 0;

  // Copies a value's type and data (the key needs kQueryValue). *size is the data size in bytes;
  // when `data` is too small the result is kMoreData and nothing is copied.
  virtual std::uint32_t QueryValue(StoreKey key, std::string_view name, std::uint32_t* type,
                                   std::span<std::uint8_t> data, std::uint32_t* size) = 0;
  // Needs kSetValue.
  virtual std::uint32_t SetValue(StoreKey key, std::string_view name, std::uint32_t type,
                                 std::span<const std::uint8_t> data) = 0;

  // Removes one value (kFileNotFound when there is none). Needs kSetValue.
  virtual std::uint32_t DeleteValue(StoreKey key, std::string_view name) = 0;

  // Name of the subkey at `index` (kNoMoreItems past the last one), terminated within `name`.
  // Needs kEnumerateSubKeys.
  virtual std::uint32_t EnumKey(StoreKey key, std::uint32_t index, std::span<char> name) = 0;
  // Deletes a key that has no subkeys (as RegDeleteKey does on NT-family systems). The caller needs
  // the delete right on that key; the parent handle's rights do not matter.
  virtual std::uint32_t DeleteKey(StoreKey parent, std::string_view name) = 0;
};

}  // namespace zorvik
