// The two multi-touch sections as JSON lines.
#include "tools/common/section_json.h"

#include <algorithm>

#include "common/byte_order.h"
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

// Raw cell section: state byte, a zero byte, N, CX, CY (16-bit), then the levels.
constexpr std::size_t kCellCountAt = 2;
constexpr std::size_t kCellXAt = 4;
constexpr std::size_t kCellYAt = 6;
constexpr std::size_t kCellLevelsAt = 8;

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

std::optional<RawCellFrame> ReadRawCellSection(std::span<const std::uint8_t> view) {
  if (view.size() < kRawCellSectionSize) return std::nullopt;
  RawCellFrame frame;
  frame.state = view[0];
  frame.header = {LoadLe<std::uint16_t>(view, kCellCountAt), LoadLe<std::uint16_t>(view, kCellXAt),
                  LoadLe<std::uint16_t>(view, kCellYAt)};
  frame.levels = view.subspan(kCellLevelsAt, std::min<std::size_t>(frame.header.n, kMaxCellLevels));
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
