// A settings store that refuses to create keys, as for a user without write access to the
// local machine hive; everything else passes through.
#pragma once

#include "tests/common/forwarding_store.h"

namespace zorvik::testing {

class NoCreateStore final : public ForwardingStore {
 public:
  using ForwardingStore::ForwardingStore;
  std::uint32_t CreateKey(StoreKey, std::string_view, std::uint32_t, StoreKey*) override {
    return store_error::kAccessDenied;
  }
};

}  // namespace zorvik::testing
