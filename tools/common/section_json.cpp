// The two multi-touch sections as JSON lines.
#include "tools/common/section_json.h"

#include <cstring>

#include "usbsvc/touch_sharing.h"

namespace zorvik {
namespace {

template <typename T>
T Get(std::span<const std::uint8_t> bytes, std::size_t offset) {
  T value{};
  if (offset + sizeof value <= bytes.size())
    std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

std::string Number(std::int64_t value) {
  return std::to_string(value);
}

bool InGrid(std::int32_t count) {
  return count >= 0 && count <= static_cast<std::int32_t>(kGridSide);
}

}  // namespace

std::string PointSectionJson(std::span<const std::uint8_t> view) {
  if (view.size() < kPointSectionSize) return R"({"points":{"error":"section too small"}})";
  const auto rows = Get<std::int32_t>(view, 8);
  const auto cols = Get<std::int32_t>(view, 12);
  std::string error;
  if (!InGrid(rows)) error = "rows " + Number(rows) + " outside 0..100";
  if (!InGrid(cols))
    error += (error.empty() ? "" : "; ") + ("cols " + Number(cols) + " outside 0..100");
  std::string records;
  if (error.empty()) {
    for (std::int32_t r = 0; r < rows; ++r) {
      for (std::int32_t c = 0; c < cols; ++c) {
        const std::size_t at =
            PointRecordOffset(static_cast<std::size_t>(r), static_cast<std::size_t>(c));
        const auto field = [&](std::size_t index) {
          return Get<std::uint16_t>(view, at + 2 * index);
        };
        if (field(0) == 0) continue;
        if (!records.empty()) records += ',';
        records += "{\"r\":" + Number(r) + ",\"c\":" + Number(c) +
                   ",\"status\":" + Number(field(0)) + ",\"id\":" + Number(field(1)) +
                   ",\"w\":" + Number(field(2)) + ",\"h\":" + Number(field(3)) +
                   ",\"x\":" + Number(field(6)) + ",\"y\":" + Number(field(7)) + "}";
      }
    }
  }
  return "{\"points\":{\"status\":" + Number(Get<std::int32_t>(view, 0)) +
         ",\"count\":" + Number(Get<std::int32_t>(view, 4)) + ",\"rows\":" + Number(rows) +
         ",\"cols\":" + Number(cols) + ",\"records\":[" + records + "]" +
         (error.empty() ? "" : ",\"error\":\"" + error + "\"") + "}}";
}

std::string RawCellSectionJson(std::span<const std::uint8_t> view) {
  if (view.size() < kRawCellSectionSize) return R"({"cells":{"error":"section too small"}})";
  const auto n = Get<std::uint16_t>(view, 2);
  const std::string error =
      n > kMaxCellLevels ? ",\"error\":\"n " + Number(n) + " above 1024\"" : std::string();
  return "{\"cells\":{\"state\":" + Number(view[0]) + ",\"n\":" + Number(n) +
         ",\"cx\":" + Number(Get<std::uint16_t>(view, 4)) +
         ",\"cy\":" + Number(Get<std::uint16_t>(view, 6)) + error + "}}";
}

}  // namespace zorvik
