// The settings store a test binary runs its store-level tests against: the in-memory store
// natively, the real registry under Wine. Each binary defines StoreUnderTest::Make.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "common/settings_store.h"

namespace zorvik::testing {

class StoreUnderTest {
 public:
  virtual ~StoreUnderTest() = default;
  static std::unique_ptr<StoreUnderTest> Make();

  virtual SettingsStore& store() = 0;
  // A key below which nothing can be created (as for a user without write access), made on
  // first use; the tests' clean-up removes it.
  virtual StoreKey ReadOnlyRoot() = 0;
};

// Deletes the keys the tests use (the product's own key and a scratch key) before and after each
// test, so that tests start from an empty hive whatever ran before.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  SettingsStore& store() { return under_test_->store(); }
  StoreKey hklm() { return store().LocalMachine(); }

  std::unique_ptr<StoreUnderTest> under_test_ = StoreUnderTest::Make();
};

inline constexpr char kScratchKey[] = "Software\\ZorvikTouchParamTest";

}  // namespace zorvik::testing
