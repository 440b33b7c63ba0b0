// Clean slate for store-level tests.
#include <gtest/gtest.h>

#include "tests/common/store_under_test.h"

#include "common/settings_access.h"
#include "common/settings_schema.h"

namespace zorvik::testing {
namespace {

void Clean(SettingsStore& store) {
  const ScopedKey software = OpenKey(store, store.LocalMachine(), "Software", key_rights::kRead);
  if (!software) return;
  DeleteKeyTree(store, software.get(), "ZorvikTouchParam");
  DeleteKeyTree(store, software.get(), "ZorvikTouchParamTest");
}

}  // namespace

void StoreTest::SetUp() {
  Clean(store());
}
void StoreTest::TearDown() {
  Clean(store());
}

}  // namespace zorvik::testing
