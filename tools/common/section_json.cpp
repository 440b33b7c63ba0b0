// The two multi-touch sections as JSON lines.
#include "tools/common/section_json.h"

#include <algorithm>

#include "common/byte_order.h"
#include "common/section_layouts.h"
#include "serialsvc/serial_protocol.h"
#include "tools/common/text_parsing.h"
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
  namespace layout = point_section;
  if (view.size() < layout::kSize) return R"({"points":{"error":"section too small"}})";
  const auto rows = LoadLe<std::int32_t>(view, layout::kRowsAt);
  const auto cols = LoadLe<std::int32_t>(view, layout::kColumnsAt);
  std::string error;
  if (!InGrid(rows)) error = "rows " + Number(rows) + " outside 0..100";
  if (!InGrid(cols))
    error += (error.empty() ? "" : "; ") + ("cols " + Number(cols) + " outside 0..100");
  std::string records;
  if (error.empty()) {
    for (std::int32_t r = 0; r < rows; ++r) {
      for (std::int32_t c = 0; c < cols; ++c) {
        const std::size_t at =
            layout::RecordOffset(static_cast<std::size_t>(r), static_cast<std::size_t>(c));
        const auto field = [&](std::size_t offset) {
          return Number(LoadLe<std::uint16_t>(view, at + offset));
        };
        if (LoadLe<std::uint16_t>(view, at + layout::kStatusAt) == 0) continue;
        if (!records.empty()) records += ',';
        records += "{\"r\":" + Number(r) + ",\"c\":" + Number(c) +
                   ",\"status\":" + field(layout::kStatusAt) + ",\"id\":" + field(layout::kIdAt) +
                   ",\"w\":" + field(layout::kWidthAt) + ",\"h\":" + field(layout::kHeightAt) +
                   ",\"x\":" + field(layout::kXAt) + ",\"y\":" + field(layout::kYAt) + "}";
      }
    }
  }
  return "{\"points\":{\"status\":" + Number(LoadLe<std::int32_t>(view, layout::kFrameStatusAt)) +
         ",\"count\":" + Number(LoadLe<std::int32_t>(view, layout::kCandidateCountAt)) +
         ",\"rows\":" + Number(rows) + ",\"cols\":" + Number(cols) + ",\"records\":[" + records +
         "]" + (error.empty() ? "" : ",\"error\":\"" + error + "\"") + "}}";
}

std::optional<RawCellFrame> ReadRawCellSection(std::span<const std::uint8_t> view) {
  namespace layout = raw_cell_section;
  if (view.size() < layout::kSize) return std::nullopt;
  RawCellFrame frame;
  frame.state = view[layout::kStateAt];
  frame.header = {LoadLe<std::uint16_t>(view, layout::kCountAt),
                  LoadLe<std::uint16_t>(view, layout::kXCellsAt),
                  LoadLe<std::uint16_t>(view, layout::kYCellsAt)};
  frame.levels =
      view.subspan(layout::kLevelsAt, std::min<std::size_t>(frame.header.n, layout::kMaxLevels));
  return frame;
}

std::string RawCellSectionJson(std::span<const std::uint8_t> view, bool with_levels) {
  const auto frame = ReadRawCellSection(view);
  if (!frame) return R"({"cells":{"error":"section too small"}})";
  const auto n = frame->header.n;
  const std::string error =
      n > kMaxCellLevels ? ",\"error\":\"n " + Number(n) + " above 1024\"" : std::string();
  std::string levels;
  if (with_levels) {
    static constexpr char kDigits[] = "0123456789abcdef";
    levels = ",\"levels\":\"";
    for (const std::uint8_t level : frame->levels) {
      levels += kDigits[level >> 4];
      levels += kDigits[level & 15];
    }
    levels += '"';
  }
  return "{\"cells\":{\"state\":" + Number(frame->state) + ",\"n\":" + Number(n) +
         ",\"cx\":" + Number(frame->header.cx) + ",\"cy\":" + Number(frame->header.cy) + error +
         levels + "}}";
}

namespace {

// The unsigned number after "key": in `line`.
std::optional<std::uint32_t> NumberAfter(std::string_view line, std::string_view key) {
  const std::size_t at = line.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  std::size_t k = at + key.size();
  if (k >= line.size() || line[k] < '0' || line[k] > '9') return std::nullopt;
  std::uint32_t value = 0;
  for (; k < line.size() && line[k] >= '0' && line[k] <= '9'; ++k) {
    if (value > 1000000) return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(line[k] - '0');
  }
  return value;
}

}  // namespace

std::optional<RawCellFrame> ParseRawCellLine(std::string_view line,
                                             std::vector<std::uint8_t>* storage) {
  if (line.find("{\"cells\":{") == std::string_view::npos) return std::nullopt;
  const auto state = NumberAfter(line, "\"state\":");
  const auto n = NumberAfter(line, "\"n\":");
  const auto cx = NumberAfter(line, "\"cx\":");
  const auto cy = NumberAfter(line, "\"cy\":");
  constexpr std::string_view kLevels = "\"levels\":\"";
  const std::size_t from = line.find(kLevels);
  if (!state || !n || !cx || !cy || *state > 255 || *n > 0xFFFF || *cx > 0xFFFF || *cy > 0xFFFF ||
      from == std::string_view::npos) {
    return std::nullopt;
  }
  const std::size_t begin = from + kLevels.size();
  const std::size_t end = line.find('"', begin);
  if (end == std::string_view::npos || (end - begin) % 2 != 0) return std::nullopt;
  storage->clear();
  for (std::size_t k = begin; k < end; k += 2) {
    const auto byte = HexByte(line.substr(k, 2));
    if (!byte) return std::nullopt;
    storage->push_back(*byte);
  }
  RawCellFrame frame;
  frame.state = static_cast<std::uint8_t>(*state);
  frame.header = {static_cast<std::uint16_t>(*n), static_cast<std::uint16_t>(*cx),
                  static_cast<std::uint16_t>(*cy)};
  frame.levels = std::span<const std::uint8_t>(*storage).first(
      std::min<std::size_t>({storage->size(), *n, kMaxCellLevels}));
  return frame;
}

std::string SerialSectionJson(std::span<const std::uint8_t> section) {
  namespace layout = serial_section;
  if (section.size() < layout::kSize) return R"({"serial":{"error":"section too small"}})";
  const auto count = LoadLe<std::int32_t>(section, layout::kCountAt);
  const bool plausible = count >= 0 && count <= static_cast<std::int32_t>(layout::kMaxRecords);
  std::string points;
  for (std::int32_t k = 0; plausible && k < count; ++k) {
    const std::size_t at = layout::RecordOffset(static_cast<std::size_t>(k));
    const auto end = [&](std::size_t offset) {
      return std::to_string(LoadLe<std::int16_t>(section, at + offset));
    };
    if (!points.empty()) points += ',';
    points += "{\"id\":" + std::to_string(LoadLe<std::uint16_t>(section, at + layout::kIdAt)) +
              ",\"x1\":" + end(layout::kX1At) + ",\"y1\":" + end(layout::kY1At) +
              ",\"x2\":" + end(layout::kX2At) + ",\"y2\":" + end(layout::kY2At) + "}";
  }
  return "{\"serial\":{\"status\":" +
         std::to_string(LoadLe<std::int32_t>(section, layout::kStatusAt)) +
         ",\"count\":" + std::to_string(count) + ",\"points\":[" + points + "]" +
         (plausible ? "" : ",\"error\":\"count outside 0..100\"") + "}}";
}

}  // namespace zorvik
