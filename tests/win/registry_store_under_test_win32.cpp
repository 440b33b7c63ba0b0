// Windows test binaries run the store-level tests against the real registry.
#include <windows.h>

#include "common/registry_settings_store_win32.h"
#include "tests/common/store_under_test.h"

namespace zorvik::testing {
namespace {

class RegistryStoreUnderTest final : public StoreUnderTest {
 public:
  RegistryStoreUnderTest() {
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &read_only_);
  }
  ~RegistryStoreUnderTest() override {
    if (read_only_ != nullptr) RegCloseKey(read_only_);
  }

  SettingsStore& store() override { return store_; }
  StoreKey ReadOnlyRoot() override { return RegistrySettingsStore::FromHkey(read_only_); }

 private:
  RegistrySettingsStore store_;
  HKEY read_only_ = nullptr;
};

}  // namespace

std::unique_ptr<StoreUnderTest> StoreUnderTest::Make() {
  return std::make_unique<RegistryStoreUnderTest>();
}

}  // namespace zorvik::testing
