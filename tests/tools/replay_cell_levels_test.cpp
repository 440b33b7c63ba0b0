// A capture replayed with the cell levels shown feeds the beam report as the live section does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/memory_settings_store.h"
#include "tools/common/beam_report.h"
#include "tools/touchreplay/replay_session.h"

namespace zorvik {
namespace {

// One cell frame of a 6 × 4 sensor: 0xE1 (or 0xE0), N, CX, CY as 7-bit pairs, then the levels.
ScriptLine CellFrame(bool touch, std::vector<std::uint8_t> levels) {
  ScriptLine line;
  line.kind = ScriptLine::Kind::kBytes;
  line.bytes = std::move(levels);
  const std::uint8_t header[] = {static_cast<std::uint8_t>(touch ? 0xE1 : 0xE0), 0, 10, 0, 6, 0, 4};
  line.bytes.insert(line.bytes.begin(), std::begin(header), std::end(header));
  return line;
}

std::vector<std::string> Replay(bool cell_levels, const std::vector<ScriptLine>& stream) {
  MemorySettingsStore store;
  ReplayOptions options;
  options.cell_levels = cell_levels;
  std::vector<std::string> cells;
  ReplaySession session(store, options, [&](const std::string& line) {
    if (line.rfind("{\"cells\":", 0) == 0) cells.push_back(line);
  });
  for (const ScriptLine& line : stream)
    session.Feed(line);
  return cells;
}

TEST(ReplayCellLevels, CellLinesCarryLevelsOnlyWhenAsked) {
  const std::vector<ScriptLine> stream = {
      CellFrame(true, {0, 100, 100, 0, 0, 0, 0, 60, 0, 0}),
      CellFrame(false, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
  };
  EXPECT_EQ(Replay(false, stream)[0], R"({"cells":{"state":2,"n":10,"cx":6,"cy":4}})");

  const auto lines = Replay(true, stream);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            R"({"cells":{"state":2,"n":10,"cx":6,"cy":4,"levels":"006464000000003c0000"}})");
  BeamCounter counter;
  std::vector<std::uint8_t> storage;
  for (const std::string& line : lines) {
    if (const auto frame = ParseRawCellLine(line, &storage)) counter.Add(*frame);
  }
  const BeamReport report = counter.Report();
  EXPECT_EQ(report.frames, 1u);  // the all-lifted frame is not a touch
  EXPECT_EQ(report.x.cells[1].shadowed, 1u);
  EXPECT_EQ(report.y.cells[1].shadowed, 1u);
  EXPECT_EQ(report.y.cells[0].shadowed, 0u);
}

}  // namespace
}  // namespace zorvik
