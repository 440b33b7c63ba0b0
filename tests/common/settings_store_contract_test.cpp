// What every settings store must do, run against the in-memory store and the real registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/settings_access.h"
#include "tests/common/store_under_test.h"

namespace zorvik::testing {
namespace {

class SettingsStoreContract : public StoreTest {
 protected:
  ScopedKey Scratch(std::string_view sub = {}) {
    std::string path = kScratchKey;
    if (!sub.empty()) path.append("\\").append(sub);
    return CreateKey(store(), hklm(), path, key_rights::kReadWrite);
  }

  std::vector<std::string> Subkeys(StoreKey key) {
    std::vector<std::string> names;
    char name[kKeyNameCapacity];
    for (std::uint32_t i = 0; store().EnumKey(key, i, name) == store_error::kSuccess; ++i) {
      names.emplace_back(name);
    }
    return names;
  }

  void SetRaw(StoreKey key, std::string_view name, std::uint32_t type, std::string_view bytes) {
    ASSERT_EQ(store().SetValue(key, name, type,
                               {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}),
              store_error::kSuccess);
  }
};

TEST_F(SettingsStoreContract, OpenFailsForMissingKeyAndLeavesOutputUntouched) {
  StoreKey key = 12345;
  EXPECT_EQ(
      store().OpenKey(hklm(), std::string(kScratchKey) + "\\Missing", key_rights::kRead, &key),
      store_error::kFileNotFound);
  EXPECT_EQ(key, 12345u);
}

TEST_F(SettingsStoreContract, CreateMakesIntermediateKeysAndOpensExistingOnes) {
  ASSERT_TRUE(Scratch("A\\B\\C"));
  EXPECT_TRUE(OpenKey(store(), hklm(), std::string(kScratchKey) + "\\A\\B", key_rights::kRead));
  const ScopedKey again = Scratch("A\\B\\C");
  ASSERT_TRUE(again);
  EXPECT_TRUE(
      OpenKey(store(), again.get(), "", key_rights::kRead));  // empty path opens the key itself
}

TEST_F(SettingsStoreContract, NamesIgnoreCase) {
  const ScopedKey key = Scratch("Case");
  ASSERT_EQ(WriteDword(store(), key.get(), "MouseMode", 2), store_error::kSuccess);
  EXPECT_EQ(ReadDword(store(), key.get(), "MOUSEMODE"), 2u);
  EXPECT_TRUE(OpenKey(store(), hklm(), "SOFTWARE\\zorviktouchparamtest\\case", key_rights::kRead));
}

TEST_F(SettingsStoreContract, DwordRoundTripAndTypeAndSizeChecks) {
  const ScopedKey key = Scratch();
  ASSERT_EQ(WriteDword(store(), key.get(), "Big", 0xFFFFFFFFu), store_error::kSuccess);
  EXPECT_EQ(ReadDword(store(), key.get(), "Big"), 0xFFFFFFFFu);
  EXPECT_EQ(ReadInt(store(), key.get(), "Big"), -1);

  SetRaw(key.get(), "Text", value_type::kSz, std::string("12\0", 3));
  SetRaw(key.get(), "Short", value_type::kBinary, "\x02\x00");
  SetRaw(key.get(), "ShortDword", value_type::kDword, "\x02\x00");
  SetRaw(key.get(), "Long", value_type::kBinary, "12345678");
  SetRaw(key.get(), "Binary4", value_type::kBinary, "\x01\x00\x00\x00");
  EXPECT_FALSE(ReadDword(store(), key.get(), "Text"));
  EXPECT_FALSE(ReadDword(store(), key.get(), "Short"));
  EXPECT_FALSE(ReadDword(store(), key.get(), "ShortDword"));
  EXPECT_FALSE(ReadDword(store(), key.get(), "Long"));
  EXPECT_FALSE(ReadDword(store(), key.get(), "Binary4"));
  EXPECT_FALSE(ReadDword(store(), key.get(), "Absent"));
}

TEST_F(SettingsStoreContract, TextIsStoredWithItsTerminatingZero) {
  const ScopedKey key = Scratch();
  ASSERT_EQ(WriteText(store(), key.get(), "USBID", "\\\\?\\usb#1"), store_error::kSuccess);
  std::uint8_t data[64];
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  ASSERT_EQ(store().QueryValue(key.get(), "USBID", &type, data, &size), store_error::kSuccess);
  EXPECT_EQ(type, value_type::kSz);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(data[9], 0);
  const auto text = ReadText(store(), key.get(), "USBID");
  ASSERT_TRUE(text);
  EXPECT_EQ(text->view(), "\\\\?\\usb#1");

  ASSERT_EQ(WriteText(store(), key.get(), "Empty", ""), store_error::kSuccess);
  ASSERT_TRUE(ReadText(store(), key.get(), "Empty"));
  EXPECT_EQ(ReadText(store(), key.get(), "Empty")->length, 0u);
}

TEST_F(SettingsStoreContract, TextReadsAreBoundedTo260Bytes) {
  const ScopedKey key = Scratch();
  const std::string fits(259, '7');
  const std::string too_long(261, '7');
  ASSERT_EQ(WriteText(store(), key.get(), "Fits", fits), store_error::kSuccess);
  ASSERT_EQ(WriteText(store(), key.get(), "TooLong", too_long), store_error::kSuccess);
  SetRaw(key.get(), "Unterminated", value_type::kSz, std::string(100, '5'));
  SetRaw(key.get(), "FullUnterminated", value_type::kSz, std::string(260, '6'));
  SetRaw(key.get(), "Dword", value_type::kDword, "\x05\x00\x00\x00");

  ASSERT_TRUE(ReadText(store(), key.get(), "Fits"));
  EXPECT_EQ(ReadText(store(), key.get(), "Fits")->view(), fits);
  EXPECT_FALSE(ReadText(store(), key.get(), "TooLong"));
  EXPECT_FALSE(ReadText(store(), key.get(), "Dword"));
  const auto unterminated = ReadText(store(), key.get(), "Unterminated");
  ASSERT_TRUE(unterminated);
  EXPECT_EQ(unterminated->view(), std::string(100, '5'));
  // 260 bytes without a terminator: Wine refuses the read, the in-memory store reads the whole
  // buffer; neither reads beyond it.
  const auto full = ReadText(store(), key.get(), "FullUnterminated");
  if (full) {
    EXPECT_EQ(full->view(), std::string(260, '6'));
  }
}

TEST_F(SettingsStoreContract, EnumerationListsEverySubkeyOnce) {
  const ScopedKey key = Scratch("List");
  for (const char* name : {"USB02", "USB01", "COM00"})
    ASSERT_TRUE(Scratch(std::string("List\\") + name));
  std::vector<std::string> names = Subkeys(key.get());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"COM00", "USB01", "USB02"}));
  char name[kKeyNameCapacity];
  EXPECT_EQ(store().EnumKey(key.get(), 3, name), store_error::kNoMoreItems);
}

TEST_F(SettingsStoreContract, DeleteRefusesKeysWithSubkeysAndTreeDeleteRemovesAll) {
  ASSERT_TRUE(Scratch("Tree\\USB01\\Deep"));
  ASSERT_TRUE(Scratch("Tree\\USB02"));
  {
    const ScopedKey leaf = Scratch("Tree\\USB02");
    ASSERT_EQ(WriteText(store(), leaf.get(), "USBID", "x"), store_error::kSuccess);
  }
  const ScopedKey scratch = Scratch();
  EXPECT_NE(store().DeleteKey(scratch.get(), "Tree"), store_error::kSuccess);
  EXPECT_TRUE(Scratch("Tree\\USB01\\Deep"));

  EXPECT_EQ(DeleteKeyTree(store(), scratch.get(), "Tree"), store_error::kSuccess);
  EXPECT_FALSE(OpenKey(store(), scratch.get(), "Tree", key_rights::kRead));
  EXPECT_TRUE(Subkeys(scratch.get()).empty());
  EXPECT_EQ(DeleteKeyTree(store(), scratch.get(), "Tree"), store_error::kFileNotFound);
}

TEST_F(SettingsStoreContract, HandleOfDeletedKeyFailsCleanly) {
  const ScopedKey scratch = Scratch();
  const ScopedKey gone = Scratch("Gone");
  ASSERT_EQ(store().DeleteKey(scratch.get(), "Gone"), store_error::kSuccess);
  EXPECT_NE(WriteDword(store(), gone.get(), "X", 1), store_error::kSuccess);
  EXPECT_FALSE(ReadDword(store(), gone.get(), "X"));
  char name[kKeyNameCapacity];
  EXPECT_NE(store().EnumKey(gone.get(), 0, name), store_error::kSuccess);
  EXPECT_FALSE(OpenKey(store(), scratch.get(), "Gone", key_rights::kRead));
}

TEST_F(SettingsStoreContract, ReadOnlyRootRefusesNewKeys) {
  StoreKey key = kNoKey;
  EXPECT_NE(store().CreateKey(under_test_->ReadOnlyRoot(), "ZorvikTouchParamTest\\New",
                              key_rights::kReadWrite, &key),
            store_error::kSuccess);
  EXPECT_FALSE(OpenKey(store(), under_test_->ReadOnlyRoot(), "ZorvikTouchParamTest\\New",
                       key_rights::kRead));
}

// A handle allows only what it was opened for, in the registry as in memory: a store that asked
// for less than it uses fails here as it would for every user on Windows.
TEST_F(SettingsStoreContract, HandleAllowsOnlyTheRightsItWasOpenedWith) {
  (void)Scratch("Child");
  const ScopedKey read = OpenKey(store(), hklm(), kScratchKey, key_rights::kRead);
  ASSERT_TRUE(read);
  EXPECT_EQ(WriteDword(store(), read.get(), "X", 1), store_error::kAccessDenied);
  char name[kKeyNameCapacity];
  EXPECT_EQ(store().EnumKey(read.get(), 0, name), store_error::kSuccess);

  const ScopedKey write = OpenKey(store(), hklm(), kScratchKey, key_rights::kSetValue);
  ASSERT_TRUE(write);
  EXPECT_EQ(WriteDword(store(), write.get(), "X", 1), store_error::kSuccess);
  EXPECT_FALSE(ReadDword(store(), write.get(), "X"));
  EXPECT_EQ(store().EnumKey(write.get(), 0, name), store_error::kAccessDenied);
  EXPECT_EQ(ReadDword(store(), read.get(), "X"), 1u);
}

}  // namespace
}  // namespace zorvik::testing
