// Drives one controller pipeline with hex lines and settings, and collects its effect lines
// (the replay tool's JSON), for whole-stream tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/memory_settings_store.h"
#include "tools/touchreplay/reg_import.h"
#include "tools/touchreplay/replay_session.h"

namespace zorvik::testing {

struct Finger {
  std::int32_t x = 0;  // sensor units 0..16383
  std::int32_t y = 0;
  std::int32_t cells = 3;  // shadow width in cells on each axis
};

// A cell frame (0xE1 with fingers, 0xE0 without) on a cx × cy sensor, levels 0 or 100.
std::vector<std::uint8_t> CellFrame(std::int32_t cx, std::int32_t cy,
                                    const std::vector<Finger>& fingers);
std::string Hex(const std::vector<std::uint8_t>& bytes);

class PipelineTest : public ::testing::Test {
 protected:
  // Settings as the replay tool's --set takes them: "General\MouseMode=dword:2".
  void Set(std::string_view assignment) {
    std::string error;
    ASSERT_TRUE(ApplySetting(assignment, store_, &error)) << error;
  }
  // Loads the settings into a new pipeline; before the first byte.
  void Start(ReplayOptions options = {}) {
    session_ = std::make_unique<ReplaySession>(
        store_, options, [this](const std::string& line) { lines_.push_back(line); });
  }
  // Hex and directive lines, one chunk per line.
  void Feed(std::string_view script);
  void Frame(std::int32_t cx, std::int32_t cy, const std::vector<Finger>& fingers) {
    session_->device().ParseChunk(CellFrame(cx, cy, fingers));
  }

  // The effect lines since the last call.
  std::vector<std::string> Take() { return std::exchange(lines_, {}); }
  // Only the lines that start with {"KIND".
  std::vector<std::string> Take(std::string_view kind);

  MemorySettingsStore store_;
  std::unique_ptr<ReplaySession> session_;
  std::vector<std::string> lines_;
};

// Effect lines as the replay tool prints them.
std::string Move(std::int32_t x, std::int32_t y, int flags = 1);
std::string Button(int buttons, int flags = 1);
inline constexpr char kAck[] = R"({"write":"aa02"})";
inline constexpr char kBeep[] = R"({"beep":true})";

}  // namespace zorvik::testing
