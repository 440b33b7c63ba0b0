// Native test binaries run the store-level tests against the in-memory store.
#include "common/memory_settings_store.h"
#include "common/settings_access.h"
#include "tests/common/store_under_test.h"

namespace zorvik::testing {
namespace {

class MemoryStoreUnderTest final : public StoreUnderTest {
 public:
  MemoryStoreUnderTest() {
    CreateKey(store_, store_.LocalMachine(), "Software", key_rights::kReadWrite);
    store_.OpenKey(store_.LocalMachine(), "Software", key_rights::kRead, &read_only_);
  }
  ~MemoryStoreUnderTest() override { store_.CloseKey(read_only_); }

  SettingsStore& store() override { return store_; }
  StoreKey ReadOnlyRoot() override { return read_only_; }

 private:
  MemorySettingsStore store_;
  StoreKey read_only_ = kNoKey;
};

}  // namespace

std::unique_ptr<StoreUnderTest> StoreUnderTest::Make() {
  return std::make_unique<MemoryStoreUnderTest>();
}

}  // namespace zorvik::testing
