// Whole-stream test support.
#include "tests/usbsvc/pipeline_harness.h"

namespace zorvik::testing {

std::vector<std::uint8_t> CellFrame(std::int32_t cx, std::int32_t cy,
                                    const std::vector<Finger>& fingers) {
  std::vector<std::uint8_t> levels(static_cast<std::size_t>(cx + cy), 0);
  const auto shade = [&](std::size_t offset, std::int32_t cells, std::int32_t at,
                         std::int32_t width) {
    const float pitch = 16383.0f / static_cast<float>(cells - 1);
    const std::int32_t centre = static_cast<std::int32_t>(static_cast<float>(at) / pitch + 0.5f);
    for (std::int32_t i = centre - width / 2; i < centre - width / 2 + width; ++i) {
      if (i >= 0 && i < cells) levels[offset + static_cast<std::size_t>(i)] = 100;
    }
  };
  for (const Finger& finger : fingers) {
    shade(0, cx, finger.x, finger.cells);
    shade(static_cast<std::size_t>(cx), cy, finger.y, finger.cells);
  }
  const auto n = static_cast<std::int32_t>(levels.size());
  std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(fingers.empty() ? 0xE0 : 0xE1),
                                     static_cast<std::uint8_t>(n / 128),
                                     static_cast<std::uint8_t>(n % 128),
                                     static_cast<std::uint8_t>(cx / 128),
                                     static_cast<std::uint8_t>(cx % 128),
                                     static_cast<std::uint8_t>(cy / 128),
                                     static_cast<std::uint8_t>(cy % 128)};
  for (const std::uint8_t level : levels)
    bytes.push_back(level);
  return bytes;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  char pair[4];
  for (const std::uint8_t byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02x ", byte);
    out += pair;
  }
  return out;
}

void PipelineTest::Feed(std::string_view script) {
  std::size_t at = 0;
  while (at <= script.size()) {
    const std::size_t end = std::min(script.find('\n', at), script.size());
    std::string error;
    const auto line = ParseScriptLine(script.substr(at, end - at), &error);
    ASSERT_TRUE(line) << error;
    session_->Feed(*line);
    at = end + 1;
  }
}

std::vector<std::string> PipelineTest::Take(std::string_view kind) {
  std::vector<std::string> matching;
  const std::string prefix = "{\"" + std::string(kind) + "\"";
  for (const std::string& line : Take()) {
    if (line.rfind(prefix, 0) == 0) matching.push_back(line);
  }
  return matching;
}

std::string Move(std::int32_t x, std::int32_t y, int flags) {
  return R"({"mouse":{"flags":)" + std::to_string(flags) + R"(,"buttons":0,"x":)" +
         std::to_string(x) + R"(,"y":)" + std::to_string(y) + R"(,"extra":4294967280}})";
}

std::string Button(int buttons, int flags) {
  return R"({"mouse":{"flags":)" + std::to_string(flags) + R"(,"buttons":)" +
         std::to_string(buttons) + R"(,"x":0,"y":0,"extra":4294967280}})";
}

}  // namespace zorvik::testing
