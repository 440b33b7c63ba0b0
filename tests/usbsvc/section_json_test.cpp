// Sections written by any process are reported, not trusted.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tools/common/section_json.h"
#include "usbsvc/touch_sharing.h"

namespace zorvik {
namespace {

TEST(SectionJson, ImplausibleCountsAreReportedAndNoRecordIsRead) {
  std::vector<std::uint8_t> points(kPointSectionSize, 0xFF);  // garbage everywhere
  const std::int32_t header[4] = {1, 2, 150, -3};
  std::memcpy(points.data(), header, sizeof header);
  const std::string json = PointSectionJson(points);
  EXPECT_NE(json.find(R"("records":[])"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("error":"rows 150 outside 0..100; cols -3 outside 0..100")"),
            std::string::npos)
      << json;

  std::vector<std::uint8_t> cells(kRawCellSectionSize, 0);
  const std::uint16_t n = 2000;
  std::memcpy(cells.data() + 2, &n, sizeof n);
  EXPECT_NE(RawCellSectionJson(cells).find(R"("error":"n 2000 above 1024")"), std::string::npos);

  EXPECT_EQ(PointSectionJson(std::span(points).first(100)),
            R"({"points":{"error":"section too small"}})");
}

}  // namespace
}  // namespace zorvik
