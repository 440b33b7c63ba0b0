// The settings store over the Win32 registry.
#include "common/registry_settings_store_win32.h"

#include <string>

namespace zorvik {
namespace {

static_assert(key_rights::kQueryValue == KEY_QUERY_VALUE &&
              key_rights::kSetValue == KEY_SET_VALUE &&
              key_rights::kCreateSubKey == KEY_CREATE_SUB_KEY &&
              key_rights::kEnumerateSubKeys == KEY_ENUMERATE_SUB_KEYS &&
              key_rights::kNotify == KEY_NOTIFY && key_rights::kDelete == DELETE &&
              key_rights::kReadControl == READ_CONTROL && key_rights::kRead == KEY_READ);

bool IsPredefined(HKEY key) {
  return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT ||
         key == HKEY_USERS;
}

}  // namespace

std::uint32_t RegistrySettingsStore::OpenKey(StoreKey parent, std::string_view path,
                                             std::uint32_t rights, StoreKey* key) {
  HKEY opened = nullptr;
  const LONG result = RegOpenKeyExA(ToHkey(parent), std::string(path).c_str(), 0, rights, &opened);
  if (result == ERROR_SUCCESS) *key = FromHkey(opened);
  return static_cast<std::uint32_t>(result);
}

std::uint32_t RegistrySettingsStore::CreateKey(StoreKey parent, std::string_view path,
                                               std::uint32_t rights, StoreKey* key) {
  HKEY created = nullptr;
  const LONG result = RegCreateKeyExA(ToHkey(parent), std::string(path).c_str(), 0, nullptr,
                                      REG_OPTION_NON_VOLATILE, rights, nullptr, &created, nullptr);
  if (result == ERROR_SUCCESS) *key = FromHkey(created);
  return static_cast<std::uint32_t>(result);
}

std::uint32_t RegistrySettingsStore::CloseKey(StoreKey key) {
  if (IsPredefined(ToHkey(key))) return ERROR_SUCCESS;
  return static_cast<std::uint32_t>(RegCloseKey(ToHkey(key)));
}

std::uint32_t RegistrySettingsStore::QueryValue(StoreKey key, std::string_view name,
                                                std::uint32_t* type, std::span<std::uint8_t> data,
                                                std::uint32_t* size) {
  DWORD found_type = REG_NONE;
  DWORD found_size = static_cast<DWORD>(data.size());
  const LONG result = RegQueryValueExA(ToHkey(key), std::string(name).c_str(), nullptr, &found_type,
                                       data.data(), &found_size);
  if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
    *type = found_type;
    *size = found_size;
  }
  return static_cast<std::uint32_t>(result);
}

std::uint32_t RegistrySettingsStore::SetValue(StoreKey key, std::string_view name,
                                              std::uint32_t type,
                                              std::span<const std::uint8_t> data) {
  return static_cast<std::uint32_t>(RegSetValueExA(ToHkey(key), std::string(name).c_str(), 0, type,
                                                   data.data(), static_cast<DWORD>(data.size())));
}

std::uint32_t RegistrySettingsStore::DeleteValue(StoreKey key, std::string_view name) {
  return static_cast<std::uint32_t>(RegDeleteValueA(ToHkey(key), std::string(name).c_str()));
}

std::uint32_t RegistrySettingsStore::EnumKey(StoreKey key, std::uint32_t index,
                                             std::span<char> name) {
  DWORD length = static_cast<DWORD>(name.size());
  return static_cast<std::uint32_t>(
      RegEnumKeyExA(ToHkey(key), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr));
}

std::uint32_t RegistrySettingsStore::DeleteKey(StoreKey parent, std::string_view name) {
  return static_cast<std::uint32_t>(RegDeleteKeyA(ToHkey(parent), std::string(name).c_str()));
}

}  // namespace zorvik
