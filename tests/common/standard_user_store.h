// A settings store that answers as the registry answers a standard user's token on Windows, with
// the rights setup grants: below the settings key, read, set-value, create-subkey and delete;
// elsewhere in the local machine hive, read only. Every open asking for a right the key does not
// grant fails as a whole, as Windows' access check does (Wine checks none of it). It also notes
// every handle that asked for a write right it never used.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "common/settings_schema.h"
#include "tests/common/forwarding_store.h"

namespace zorvik::testing {

class StandardUserStore final : public ForwardingStore {
 public:
  using ForwardingStore::ForwardingStore;

  // "OpenKey software\zorviktouchparam\general 0xf003f" for each refused call.
  std::vector<std::string> refused;
  // "software\zorviktouchparam\general 0x2" for each handle whose write rights went unused.
  std::vector<std::string> over_asked;

  static constexpr std::uint32_t kGrantedBelowSettings =
      key_rights::kRead | key_rights::kSetValue | key_rights::kCreateSubKey | key_rights::kDelete;

  std::uint32_t OpenKey(StoreKey parent, std::string_view path, std::uint32_t rights,
                        StoreKey* key) override {
    const std::string full = Join(parent, path);
    if ((rights & ~Granted(full)) != 0) return Refuse("OpenKey", full, rights);
    return Track(ForwardingStore::OpenKey(parent, path, rights, key), key, full, rights);
  }

  std::uint32_t CreateKey(StoreKey parent, std::string_view path, std::uint32_t rights,
                          StoreKey* key) override {
    const std::string full = Join(parent, path);
    if ((rights & ~Granted(full)) != 0) return Refuse("CreateKey", full, rights);
    if ((Granted(DeepestExisting(full)) & key_rights::kCreateSubKey) == 0 && !Exists(full)) {
      return Refuse("CreateKey", full, rights);
    }
    return Track(ForwardingStore::CreateKey(parent, path, rights, key), key, full, rights);
  }

  std::uint32_t CloseKey(StoreKey key) override {
    if (const auto it = handles_.find(key); it != handles_.end()) {
      constexpr std::uint32_t kWrites =
          key_rights::kSetValue | key_rights::kCreateSubKey | key_rights::kDelete;
      if ((it->second.asked & kWrites & ~it->second.used) != 0) {
        over_asked.push_back(it->second.path + " " + Hex(it->second.asked));
      }
      handles_.erase(it);
    }
    return ForwardingStore::CloseKey(key);
  }

  std::uint32_t SetValue(StoreKey key, std::string_view name, std::uint32_t type,
                         std::span<const std::uint8_t> data) override {
    Use(key, key_rights::kSetValue);
    return ForwardingStore::SetValue(key, name, type, data);
  }

  std::uint32_t DeleteValue(StoreKey key, std::string_view name) override {
    Use(key, key_rights::kSetValue);
    return ForwardingStore::DeleteValue(key, name);
  }

  std::uint32_t DeleteKey(StoreKey parent, std::string_view name) override {
    const std::string full = Join(parent, name);
    if ((Granted(full) & key_rights::kDelete) == 0) return Refuse("DeleteKey", full, 0);
    return ForwardingStore::DeleteKey(parent, name);
  }

 private:
  struct Opened {
    std::string path;
    std::uint32_t asked = 0;
    std::uint32_t used = 0;
  };

  static std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
  }
  static std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
  }
  static std::uint32_t Granted(const std::string& path) {
    const std::string settings = Lower(schema::kRootKey);
    const bool below = path == settings || path.rfind(settings + "\\", 0) == 0;
    return below ? kGrantedBelowSettings : key_rights::kRead;
  }

  std::string Join(StoreKey parent, std::string_view path) const {
    const auto it = handles_.find(parent);
    std::string full = it == handles_.end() ? std::string() : it->second.path;
    const std::string tail = Lower(path);
    if (!full.empty() && !tail.empty()) full += "\\";
    return full + tail;
  }
  bool Exists(const std::string& path) {
    StoreKey probe = kNoKey;
    if (ForwardingStore::OpenKey(LocalMachine(), path, 0, &probe) != store_error::kSuccess) {
      return false;
    }
    ForwardingStore::CloseKey(probe);
    return true;
  }
  std::string DeepestExisting(std::string path) {
    while (!path.empty() && !Exists(path)) {
      const std::size_t slash = path.rfind('\\');
      path = slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
    return path;
  }
  std::uint32_t Refuse(const char* call, const std::string& path, std::uint32_t rights) {
    refused.push_back(std::string(call) + " " + path + " " + Hex(rights));
    return store_error::kAccessDenied;
  }
  std::uint32_t Track(std::uint32_t result, StoreKey* key, const std::string& path,
                      std::uint32_t rights) {
    if (result == store_error::kSuccess) handles_[*key] = Opened{path, rights, 0};
    return result;
  }
  void Use(StoreKey key, std::uint32_t right) {
    if (const auto it = handles_.find(key); it != handles_.end()) it->second.used |= right;
  }

  std::map<StoreKey, Opened> handles_;
};

}  // namespace zorvik::testing
