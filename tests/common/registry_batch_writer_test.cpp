// The batch writer: decimal text, last value wins, name order, key creation and its failure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/registry_batch_writer.h"
#include "tests/common/recording_store.h"
#include "tests/common/store_under_test.h"

namespace zorvik::testing {
namespace {

constexpr char kBase[] = "Software\\ZorvikTouchParam";

class RegistryBatchWriterTest : public StoreTest {
 protected:
  // The raw bytes of a value below the base key, or "<absent>".
  std::string Stored(std::string_view subkey, std::string_view name) {
    std::string path = kBase;
    if (!subkey.empty()) path.append("\\").append(subkey);
    const ScopedKey key = OpenKey(store(), hklm(), path, key_rights::kRead);
    if (!key) return "<absent>";
    std::uint8_t data[512];
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (store().QueryValue(key.get(), name, &type, data, &size) != store_error::kSuccess) {
      return "<absent>";
    }
    EXPECT_EQ(type, value_type::kSz);
    return std::string(reinterpret_cast<char*>(data), size);
  }
};

TEST_F(RegistryBatchWriterTest, NegativeIntegerIsStoredAsDecimalTextWithTerminator) {
  RegistryBatchWriter writer(store(), hklm(), kBase);
  writer.SetInteger("General\\MON00X", -5);
  writer.SetInteger("General\\MON00Divider", 65536);
  writer.SetInteger("General\\MON00Y", 0);
  writer.Flush();
  EXPECT_EQ(Stored("General", "MON00X"), std::string("-5\0", 3));
  EXPECT_EQ(Stored("General", "MON00Divider"), std::string("65536\0", 6));
  EXPECT_EQ(Stored("General", "MON00Y"), std::string("0\0", 2));
}

TEST_F(RegistryBatchWriterTest, LastValueForANameWins) {
  RegistryBatchWriter writer(store(), hklm(), kBase);
  writer.SetInteger("General\\MON00An", 7);
  writer.SetText("General\\MON00An", "12");
  EXPECT_EQ(writer.EntryCount(), 1u);
  writer.Flush();
  EXPECT_EQ(Stored("General", "MON00An"), std::string("12\0", 3));
}

TEST_F(RegistryBatchWriterTest, SubkeysAreWrittenInByteOrderEachCreatedOnce) {
  RecordingStore recording(store());
  {
    RegistryBatchWriter writer(recording, hklm(), kBase);
    writer.SetText("MonitorMaps\\B", "2");
    writer.SetText("General\\b", "3");
    writer.SetText("General\\A", "1");
    writer.SetText("NoBackslash", "never written");
    writer.Flush();
    EXPECT_EQ(recording.created,
              (std::vector<std::string>{kBase, "Software\\ZorvikTouchParam\\General",
                                        "Software\\ZorvikTouchParam\\MonitorMaps"}));
    EXPECT_EQ(recording.written, (std::vector<std::string>{"A", "b", "B"}));
  }
  EXPECT_EQ(Stored("General", "A"), std::string("1\0", 2));
  EXPECT_EQ(Stored("MonitorMaps", "B"), std::string("2\0", 2));
  EXPECT_EQ(Stored("", "NoBackslash"), "<absent>");
}

TEST_F(RegistryBatchWriterTest, EmptySubkeyWritesIntoTheBaseKey) {
  RegistryBatchWriter writer(store(), hklm(), kBase);
  writer.SetText("General\\A", "1");
  writer.SetText("\\Top", "2");  // '\' sorts after "General": the base key must be reopened
  writer.Flush();
  EXPECT_EQ(Stored("", "Top"), std::string("2\0", 2));
  EXPECT_EQ(Stored("General", "Top"), "<absent>");
}

TEST_F(RegistryBatchWriterTest, FlushWithoutEntriesCreatesOnlyTheBaseKey) {
  RegistryBatchWriter writer(store(), hklm(), std::string(kBase) + "\\SerialAcitve");
  writer.Flush();
  const ScopedKey key =
      OpenKey(store(), hklm(), std::string(kBase) + "\\SerialAcitve", key_rights::kRead);
  ASSERT_TRUE(key);
  char name[kKeyNameCapacity];
  EXPECT_EQ(store().EnumKey(key.get(), 0, name), store_error::kNoMoreItems);
}

TEST_F(RegistryBatchWriterTest, EntriesStayAfterAFlushAndDestructionWritesAgain) {
  {
    RegistryBatchWriter writer(store(), hklm(), kBase);
    writer.SetText("SerialAcitve\\COM00\\COMID", "3");  // subkey is the part before the first '\'
    writer.Flush();
    EXPECT_EQ(Stored("SerialAcitve", "COM00\\COMID"), std::string("3\0", 2));
    const ScopedKey root = OpenKey(store(), hklm(), "Software", key_rights::kRead);
    ASSERT_EQ(DeleteKeyTree(store(), root.get(), "ZorvikTouchParam"), store_error::kSuccess);
    EXPECT_EQ(writer.EntryCount(), 1u);
  }
  EXPECT_EQ(Stored("SerialAcitve", "COM00\\COMID"), std::string("3\0", 2));
}

TEST_F(RegistryBatchWriterTest, UncreatableBaseKeyRaisesTheErrorAndWritesNothing) {
  {
    RegistryBatchWriter writer(store(), under_test_->ReadOnlyRoot(), "ZorvikTouchParam");
    writer.SetInteger("General\\MON00X", 1);
    try {
      writer.Flush();
      ADD_FAILURE() << "no error raised";
    } catch (const RegistryBatchError& error) {
      EXPECT_STREQ(error.what(), "Error! Cannot create registry key!");
    }
  }  // destruction flushes again and must not let the error escape
  EXPECT_FALSE(OpenKey(store(), hklm(), kBase, key_rights::kRead));
}

}  // namespace
}  // namespace zorvik::testing
