// Typed access over the settings store.
#include "common/settings_access.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace zorvik {
namespace {

// Windows refuses deeper key trees; a store that claims more is not trusted further.
constexpr int kMaxKeyDepth = 512;

std::uint32_t DeleteKeyTreeAt(SettingsStore& store, StoreKey parent, std::string_view name,
                              int depth) {
  if (depth > kMaxKeyDepth) return store_error::kAccessDenied;
  StoreKey raw = kNoKey;
  // Listing the subkeys is all this handle does; each key is deleted by name from its parent.
  std::uint32_t result = store.OpenKey(parent, name, key_rights::kEnumerateSubKeys, &raw);
  if (result != store_error::kSuccess) return result;
  ScopedKey key(store, raw);
  std::array<char, kKeyNameCapacity> child{};
  while ((result = store.EnumKey(key.get(), 0, child)) == store_error::kSuccess) {
    child.back() = '\0';
    result = DeleteKeyTreeAt(store, key.get(), child.data(), depth + 1);
    if (result != store_error::kSuccess) return result;
  }
  if (result != store_error::kNoMoreItems) return result;
  key.reset();
  return store.DeleteKey(parent, name);
}

}  // namespace

ScopedKey::ScopedKey(ScopedKey&& other) noexcept
    : store_(other.store_), key_(std::exchange(other.key_, kNoKey)) {}

ScopedKey& ScopedKey::operator=(ScopedKey&& other) noexcept {
  if (this != &other) {
    reset();
    store_ = other.store_;
    key_ = std::exchange(other.key_, kNoKey);
  }
  return *this;
}

std::uint32_t ScopedKey::reset() {
  if (key_ == kNoKey) return store_error::kInvalidHandle;
  const StoreKey key = std::exchange(key_, kNoKey);
  return store_->CloseKey(key);
}

ScopedKey OpenKey(SettingsStore& store, StoreKey parent, std::string_view path,
                  std::uint32_t rights) {
  StoreKey key = kNoKey;
  if (store.OpenKey(parent, path, rights, &key) != store_error::kSuccess) return {};
  return ScopedKey(store, key);
}

ScopedKey CreateKey(SettingsStore& store, StoreKey parent, std::string_view path,
                    std::uint32_t rights) {
  StoreKey key = kNoKey;
  if (store.CreateKey(parent, path, rights, &key) != store_error::kSuccess) return {};
  return ScopedKey(store, key);
}

DwordRead QueryDword(SettingsStore& store, StoreKey key, std::string_view name) {
  std::uint8_t data[4] = {};
  std::uint32_t type = value_type::kNone;
  std::uint32_t size = 0;
  const std::uint32_t result = store.QueryValue(key, name, &type, data, &size);
  if (result != store_error::kSuccess || type != value_type::kDword || size != sizeof data) {
    return {result, std::nullopt};
  }
  std::uint32_t value = 0;
  std::memcpy(&value, data, sizeof value);  // registry DWORDs are little-endian, as is the host
  return {result, value};
}

std::optional<std::uint32_t> ReadDword(SettingsStore& store, StoreKey key, std::string_view name) {
  return QueryDword(store, key, name).value;
}

std::optional<std::int32_t> ReadInt(SettingsStore& store, StoreKey key, std::string_view name) {
  const auto value = ReadDword(store, key, name);
  if (!value) return {};
  return static_cast<std::int32_t>(*value);
}

std::optional<TextValue> ReadText(SettingsStore& store, StoreKey key, std::string_view name) {
  TextValue text;
  std::uint32_t type = value_type::kNone;
  std::uint32_t size = 0;
  auto* bytes = reinterpret_cast<std::uint8_t*>(text.bytes.data());
  if (store.QueryValue(key, name, &type, {bytes, text.bytes.size()}, &size) !=
      store_error::kSuccess) {
    return {};
  }
  if (type != value_type::kSz && type != value_type::kExpandSz) return {};
  const std::size_t stored = std::min<std::size_t>(size, text.bytes.size());
  text.length =
      std::find(text.bytes.begin(), text.bytes.begin() + stored, '\0') - text.bytes.begin();
  return text;
}

std::uint32_t WriteDword(SettingsStore& store, StoreKey key, std::string_view name,
                         std::uint32_t value) {
  std::uint8_t data[4];
  std::memcpy(data, &value, sizeof data);
  return store.SetValue(key, name, value_type::kDword, data);
}

std::uint32_t WriteText(SettingsStore& store, StoreKey key, std::string_view name,
                        std::string_view text) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return store.SetValue(key, name, value_type::kSz, data);
}

std::uint32_t DeleteKeyTree(SettingsStore& store, StoreKey parent, std::string_view name) {
  return DeleteKeyTreeAt(store, parent, name, 0);
}

}  // namespace zorvik
