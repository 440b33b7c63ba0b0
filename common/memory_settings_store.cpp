// In-memory settings store.
#include "common/memory_settings_store.h"

#include <algorithm>
#include <cstring>

namespace zorvik {
namespace {

char FoldCase(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Splits "A\B\C" into its components; empty components (doubled or edge backslashes) are dropped,
// as the registry does.
std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

bool MemorySettingsStore::CaseInsensitiveLess::operator()(const std::string& a,
                                                          const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(FoldCase(x)) < static_cast<unsigned char>(FoldCase(y));
  });
}

MemorySettingsStore::MemorySettingsStore() : root_(std::make_shared<Node>()) {}
MemorySettingsStore::~MemorySettingsStore() = default;

std::uint32_t MemorySettingsStore::Lookup(StoreKey key, std::uint32_t needed,
                                          std::shared_ptr<Node>* node) const {
  if (key == kRootHandle) {
    *node = root_;
    return store_error::kSuccess;
  }
  const auto it = handles_.find(key);
  if (it == handles_.end()) return store_error::kInvalidHandle;
  if (it->second.node->deleted) return store_error::kKeyDeleted;
  if ((it->second.rights & needed) != needed) return store_error::kAccessDenied;
  *node = it->second.node;
  return store_error::kSuccess;
}

std::uint32_t MemorySettingsStore::Walk(StoreKey parent, std::string_view path, bool create,
                                        std::uint32_t rights, StoreKey* key) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<Node> node;
  std::uint32_t result = Lookup(parent, 0, &node);
  if (result != store_error::kSuccess) return result;
  // A missing key is created only through a parent handle that may create subkeys.
  const bool may_create = Lookup(parent, key_rights::kCreateSubKey, &node) == store_error::kSuccess;
  for (const std::string& part : SplitPath(path)) {
    if (part.size() >= kKeyNameCapacity) return store_error::kInvalidParameter;
    auto it = node->subkeys.find(part);
    if (it == node->subkeys.end()) {
      if (!create) return store_error::kFileNotFound;
      if (!may_create) return store_error::kAccessDenied;
      it = node->subkeys.emplace(part, std::make_shared<Node>()).first;
    }
    node = it->second;
  }
  *key = next_handle_;
  next_handle_ += 4;
  handles_.emplace(*key, Handle{std::move(node), rights});
  return store_error::kSuccess;
}

std::uint32_t MemorySettingsStore::OpenKey(StoreKey parent, std::string_view path,
                                           std::uint32_t rights, StoreKey* key) {
  return Walk(parent, path, false, rights, key);
}

std::uint32_t MemorySettingsStore::CreateKey(StoreKey parent, std::string_view path,
                                             std::uint32_t rights, StoreKey* key) {
  return Walk(parent, path, true, rights, key);
}

std::uint32_t MemorySettingsStore::CloseKey(StoreKey key) {
  std::lock_guard lock(mutex_);
  if (key == kRootHandle) return store_error::kSuccess;
  return handles_.erase(key) == 1 ? store_error::kSuccess : store_error::kInvalidHandle;
}

std::uint32_t MemorySettingsStore::QueryValue(StoreKey key, std::string_view name,
                                              std::uint32_t* type, std::span<std::uint8_t> data,
                                              std::uint32_t* size) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<Node> node;
  if (const std::uint32_t result = Lookup(key, key_rights::kQueryValue, &node)) return result;
  const auto it = node->values.find(std::string(name));
  if (it == node->values.end()) return store_error::kFileNotFound;
  const Value& value = it->second;
  *type = value.type;
  *size = static_cast<std::uint32_t>(value.data.size());
  if (value.data.size() > data.size()) return store_error::kMoreData;
  std::copy(value.data.begin(), value.data.end(), data.begin());
  return store_error::kSuccess;
}

std::uint32_t MemorySettingsStore::SetValue(StoreKey key, std::string_view name, std::uint32_t type,
                                            std::span<const std::uint8_t> data) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<Node> node;
  if (const std::uint32_t result = Lookup(key, key_rights::kSetValue, &node)) return result;
  Value& value = node->values[std::string(name)];
  value.type = type;
  value.data.assign(data.begin(), data.end());
  return store_error::kSuccess;
}

std::uint32_t MemorySettingsStore::DeleteValue(StoreKey key, std::string_view name) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<Node> node;
  if (const std::uint32_t result = Lookup(key, key_rights::kSetValue, &node)) return result;
  return node->values.erase(std::string(name)) == 1 ? store_error::kSuccess
                                                    : store_error::kFileNotFound;
}

std::uint32_t MemorySettingsStore::EnumKey(StoreKey key, std::uint32_t index,
                                           std::span<char> name) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<Node> node;
  if (const std::uint32_t result = Lookup(key, key_rights::kEnumerateSubKeys, &node)) return result;
  if (index >= node->subkeys.size()) return store_error::kNoMoreItems;
  const std::string& found = std::next(node->subkeys.begin(), index)->first;
  if (found.size() + 1 > name.size()) return store_error::kMoreData;
  std::memcpy(name.data(), found.c_str(), found.size() + 1);
  return store_error::kSuccess;
}

std::uint32_t MemorySettingsStore::DeleteKey(StoreKey parent, std::string_view name) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<Node> owner;
  if (const std::uint32_t result = Lookup(parent, 0, &owner)) return result;
  const std::vector<std::string> parts = SplitPath(name);
  if (parts.empty()) return store_error::kAccessDenied;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    const auto it = owner->subkeys.find(parts[i]);
    if (it == owner->subkeys.end()) return store_error::kFileNotFound;
    owner = it->second;
  }
  const auto it = owner->subkeys.find(parts.back());
  if (it == owner->subkeys.end()) return store_error::kFileNotFound;
  if (!it->second->subkeys.empty()) return store_error::kAccessDenied;
  it->second->deleted = true;
  owner->subkeys.erase(it);
  return store_error::kSuccess;
}

}  // namespace zorvik
