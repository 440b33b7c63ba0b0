// The Touch Device page's rows: numbering of the two lists, missing keys and values, and counts
// that another program may have written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panel/device_list_model.h"
#include "tests/common/settings_seed.h"
#include "tests/common/store_under_test.h"

namespace zorvik::testing {
namespace {

using panel::DeviceKind;
using panel::DeviceRow;

struct Row {
  std::string port, firmware, device, comm;
  int icon;
  bool operator==(const Row&) const = default;
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << "{" << row.port << "|" << row.firmware << "|" << row.device << "|" << row.comm << "|"
       << row.icon << "}";
}

class DeviceListModelTest : public StoreTest {
 protected:
  std::vector<Row> Rows() {
    std::vector<Row> rows;
    panel::ReadDeviceRows(store(), [&](const DeviceRow& r) {
      rows.push_back({std::string(r.port.view()), std::string(r.firmware.view()),
                      std::string(r.device.view()), r.CommDevice(), r.Icon()});
    });
    return rows;
  }
  SettingsSeed seed{store()};
};

TEST_F(DeviceListModelTest, UsbRowsComeFirstNumberedFromOneSerialRowsFromZero) {
  seed.Dword("SerialAcitve", "NextInstanceCount", 1);
  seed.Text("SerialAcitve\\COM00", "COMID", "3");
  seed.Text("SerialAcitve\\COM00", "FirmwareVersion", "V1.2");
  seed.Text("SerialAcitve\\COM00", "DeviceID", "ZS-SIM");
  // A count of 2 with only the second USB key: one row, from USB02; USB00 is never read.
  seed.Dword("USBAcitve", "NextInstanceCount", 2);
  seed.Text("USBAcitve\\USB00", "USBID", "never shown");
  seed.Text("USBAcitve\\USB02", "USBID", "USB-2");
  seed.Text("USBAcitve\\USB02", "FirmwareVersion", "1.02");
  seed.Text("USBAcitve\\USB02", "DeviceID", "ZT-SIM");
  EXPECT_EQ(Rows(), (std::vector<Row>{{"USB-2", "1.02", "ZT-SIM", "USB", 0},
                                      {"COM3", "V1.2", "ZS-SIM", "COM Port", 1}}));
}

TEST_F(DeviceListModelTest, MissingListsCountsAndValuesGiveNoRowsOrEmptyCells) {
  EXPECT_TRUE(Rows().empty());
  seed.Text("USBAcitve\\USB01", "USBID", "no count");
  seed.Key("SerialAcitve\\COM00");
  EXPECT_TRUE(Rows().empty());
  seed.Dword("USBAcitve", "NextInstanceCount", 1);
  seed.Dword("SerialAcitve", "NextInstanceCount", 1);
  seed.Raw("USBAcitve\\USB01", "FirmwareVersion", value_type::kDword, "abcd");  // wrong type
  EXPECT_EQ(Rows(),
            (std::vector<Row>{{"no count", "", "", "USB", 0}, {"COM0", "", "", "COM Port", 1}}));
}

TEST_F(DeviceListModelTest, ComIdIsReadAsADecimalNumber) {
  seed.Dword("SerialAcitve", "NextInstanceCount", 3);
  seed.Text("SerialAcitve\\COM00", "COMID", " 12abc");
  seed.Text("SerialAcitve\\COM01", "COMID", "-7");
  seed.Text("SerialAcitve\\COM02", "COMID", "99999999999");
  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].port, "COM12");
  EXPECT_EQ(rows[1].port, "COM-7");
  EXPECT_EQ(rows[2].port, "COM2147483647");
}

TEST_F(DeviceListModelTest, HugeCountsStopAtTheLastTwoDigitName) {
  seed.Dword("USBAcitve", "NextInstanceCount", 0xFFFFFFFFu);
  seed.Dword("SerialAcitve", "NextInstanceCount", 0x7FFFFFFFu);
  seed.Text("USBAcitve\\USB99", "USBID", "last");
  seed.Text("USBAcitve\\USB100", "USBID", "three digits");
  seed.Text("SerialAcitve\\COM99", "COMID", "100");
  seed.Text("SerialAcitve\\COM100", "COMID", "101");
  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].port, "last");
  EXPECT_EQ(rows[1].port, "COM100");
}

TEST_F(DeviceListModelTest, TextsThatFillTheWholeBufferStayWithinIt) {
  seed.Dword("USBAcitve", "NextInstanceCount", 1);
  seed.Raw("USBAcitve\\USB01", "USBID", value_type::kSz, std::string(260, 'x'));     // no zero
  seed.Raw("USBAcitve\\USB01", "DeviceID", value_type::kSz, std::string(261, 'y'));  // too long
  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  // The in-memory store hands out the 260 bytes as they are; the registry's ANSI read adds the
  // terminator, and the text then no longer fits. Either way nothing past the buffer is read.
  EXPECT_TRUE(rows[0].port == std::string(260, 'x') || rows[0].port.empty()) << rows[0].port;
  EXPECT_EQ(rows[0].device, "");
}

}  // namespace
}  // namespace zorvik::testing
