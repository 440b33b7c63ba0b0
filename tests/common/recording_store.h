// A settings store that records what passes through it, for tests of the order of registry work.
#pragma once

#include <string>
#include <vector>

#include "tests/common/forwarding_store.h"

namespace zorvik::testing {

// Passes every call on and records the keys created, the values read and the values written,
// so that the order of a program's registry work is visible.
class RecordingStore final : public ForwardingStore {
 public:
  using ForwardingStore::ForwardingStore;
  std::vector<std::string> created;
  std::vector<std::string> queried;
  std::vector<std::string> written;

  std::uint32_t CreateKey(StoreKey parent, std::string_view path, std::uint32_t rights,
                          StoreKey* key) override {
    created.emplace_back(path);
    return ForwardingStore::CreateKey(parent, path, rights, key);
  }
  std::uint32_t QueryValue(StoreKey key, std::string_view name, std::uint32_t* type,
                           std::span<std::uint8_t> data, std::uint32_t* size) override {
    queried.emplace_back(name);
    return ForwardingStore::QueryValue(key, name, type, data, size);
  }
  std::uint32_t SetValue(StoreKey key, std::string_view name, std::uint32_t type,
                         std::span<const std::uint8_t> data) override {
    written.emplace_back(name);
    return ForwardingStore::SetValue(key, name, type, data);
  }
};

}  // namespace zorvik::testing
