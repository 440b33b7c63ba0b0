// Windows test binaries run the store-level tests against the real registry.
#include <windows.h>

#include "common/registry_settings_store_win32.h"
#include "tests/common/store_under_test.h"

namespace zorvik::testing {
namespace {

class RegistryStoreUnderTest final : public StoreUnderTest {
 public:
  ~RegistryStoreUnderTest() override {
    if (locked_ != nullptr) RegCloseKey(locked_);
  }

  SettingsStore& store() override { return store_; }

  // Wine does not check key access rights, but it refuses non-volatile keys below a volatile
  // one, as Windows does: a volatile key is a root below which nothing can be created.
  StoreKey ReadOnlyRoot() override {
    if (locked_ == nullptr) {
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\ZorvikTouchParamTest\\Locked", 0, nullptr,
                      REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &locked_, nullptr);
    }
    return RegistrySettingsStore::FromHkey(locked_);
  }

 private:
  RegistrySettingsStore store_;
  HKEY locked_ = nullptr;
};

}  // namespace

std::unique_ptr<StoreUnderTest> StoreUnderTest::Make() {
  return std::make_unique<RegistryStoreUnderTest>();
}

}  // namespace zorvik::testing
