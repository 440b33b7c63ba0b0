// In-memory settings store with the registry's rules: case-insensitive key and value names,
// keys that cannot be deleted while they have subkeys, handles that fail once their key is gone
// and allow only what they were opened for.
// Used by the native tests and tools; thread-safe.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/settings_store.h"

namespace zorvik {

class MemorySettingsStore final : public SettingsStore {
 public:
  MemorySettingsStore();
  ~MemorySettingsStore() override;

  StoreKey LocalMachine() const override { return kRootHandle; }
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

 private:
  struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  struct Value {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
  };
  struct Node {
    std::map<std::string, std::shared_ptr<Node>, CaseInsensitiveLess> subkeys;
    std::map<std::string, Value, CaseInsensitiveLess> values;
    bool deleted = false;
  };
  static constexpr StoreKey kRootHandle = 0x80000002;  // as HKEY_LOCAL_MACHINE

  // A handle holds the rights it was opened with and allows only calls they cover, as a registry
  // handle does (the local machine handle holds them all).
  struct Handle {
    std::shared_ptr<Node> node;
    std::uint32_t rights = 0;
  };

  // The node behind a handle, or the error for an unknown or deleted one, or one without `needed`.
  std::uint32_t Lookup(StoreKey key, std::uint32_t needed, std::shared_ptr<Node>* node) const;
  std::uint32_t Walk(StoreKey parent, std::string_view path, bool create, std::uint32_t rights,
                     StoreKey* key);

  mutable std::mutex mutex_;
  std::shared_ptr<Node> root_;
  std::map<StoreKey, Handle> handles_;
  StoreKey next_handle_ = 0x1000;
};

}  // namespace zorvik
