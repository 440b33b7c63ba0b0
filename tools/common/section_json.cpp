// The two multi-touch sections as JSON lines.
#include "tools/common/section_json.h"

#include "common/byte_order.h"
#include "serialsvc/serial_protocol.h"
#include "usbsvc/touch_sharing.h"

namespace zorvik {
namespace {

std::string Number(std::int64_t value) {
  return std::to_string(value);
}

bool InGrid(std::int32_t count) {
  return count >= 0 && count <= static_cast<std::int32_t>(kGridSide);
}

}  // namespace

std::string PointSectionJson(std::span<const std::uint8_t> view) {
  if (view.size() < kPointSectionSize) return R"({"points":{"error":"section too small"}})";
  const auto rows = LoadLe<std::int32_t>(view, 8);
  const auto cols = LoadLe<std::int32_t>(view, 12);
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
          return LoadLe<std::uint16_t>(view, at + 2 * index);
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
  return "{\"points\":{\"status\":" + Number(LoadLe<std::int32_t>(view, 0)) +
         ",\"count\":" + Number(LoadLe<std::int32_t>(view, 4)) + ",\"rows\":" + Number(rows) +
         ",\"cols\":" + Number(cols) + ",\"records\":[" + records + "]" +
         (error.empty() ? "" : ",\"error\":\"" + error + "\"") + "}}";
}

std::string RawCellSectionJson(std::span<const std::uint8_t> view) {
  if (view.size() < kRawCellSectionSize) return R"({"cells":{"error":"section too small"}})";
  const auto n = LoadLe<std::uint16_t>(view, 2);
  const std::string error =
      n > kMaxCellLevels ? ",\"error\":\"n " + Number(n) + " above 1024\"" : std::string();
  return "{\"cells\":{\"state\":" + Number(view[0]) + ",\"n\":" + Number(n) +
         ",\"cx\":" + Number(LoadLe<std::uint16_t>(view, 4)) +
         ",\"cy\":" + Number(LoadLe<std::uint16_t>(view, 6)) + error + "}}";
}

std::string SerialSectionJson(std::span<const std::uint8_t> section) {
  if (section.size() < kSerialPointFrameSize) return R"({"serial":{"error":"section too small"}})";
  const auto count = LoadLe<std::int32_t>(section, 4);
  const bool plausible = count >= 0 && count <= static_cast<std::int32_t>(kSerialMaxRecords);
  std::string points;
  for (std::int32_t k = 0; plausible && k < count; ++k) {
    const std::size_t at = 8 + 20 * static_cast<std::size_t>(k);
    if (!points.empty()) points += ',';
    points += "{\"id\":" + std::to_string(LoadLe<std::uint16_t>(section, at)) +
              ",\"x1\":" + std::to_string(LoadLe<std::int16_t>(section, at + 2)) +
              ",\"y1\":" + std::to_string(LoadLe<std::int16_t>(section, at + 4)) +
              ",\"x2\":" + std::to_string(LoadLe<std::int16_t>(section, at + 6)) +
              ",\"y2\":" + std::to_string(LoadLe<std::int16_t>(section, at + 8)) + "}";
  }
  return "{\"serial\":{\"status\":" + std::to_string(LoadLe<std::int32_t>(section, 0)) +
         ",\"count\":" + std::to_string(count) + ",\"points\":[" + points + "]" +
         (plausible ? "" : ",\"error\":\"count outside 0..100\"") + "}}";
}

}  // namespace zorvik
