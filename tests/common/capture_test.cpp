// Captures: the hand-over ring between a reader and its writer, and the capture file, read back
// with the replay tool's own parser.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/capture/capture_ring.h"
#include "common/capture/capture_text.h"
#include "tools/touchreplay/replay_script.h"

namespace zorvik {
namespace {

UtcTime At(int second, int ms) {
  return {2026, 12, 8, 10, 59, static_cast<std::uint16_t>(second), static_cast<std::uint16_t>(ms)};
}

struct Taken {
  UtcTime at;
  std::vector<std::uint8_t> bytes;
};

std::vector<Taken> DrainAll(CaptureRing& ring) {
  std::vector<Taken> taken;
  ring.Drain([&](const UtcTime& at, std::span<const std::uint8_t> bytes) {
    taken.push_back({at, {bytes.begin(), bytes.end()}});
  });
  return taken;
}

TEST(CaptureRing, HandsOverInOrderAndCountsWhatFindsNoRoom) {
  auto ring = std::make_unique<CaptureRing>();
  const std::vector<std::uint8_t> chunk(1000, 0x81);
  int kept = 0;
  while (ring->Push(At(1, kept % 1000), chunk))
    ++kept;
  // Each chunk takes its 1000 bytes and a 16-byte header.
  EXPECT_EQ(kept, 258);  // 256 KiB / 1016
  EXPECT_FALSE(ring->Push(At(2, 0), std::vector<std::uint8_t>(10, 1)) &&
               ring->Push(At(2, 0), chunk));
  const CaptureDrops drops = ring->drops();
  EXPECT_GE(drops.chunks, 1u);

  const auto taken = DrainAll(*ring);
  ASSERT_GE(taken.size(), static_cast<std::size_t>(kept));
  for (int k = 0; k < kept; ++k) {
    EXPECT_EQ(taken[static_cast<std::size_t>(k)].at, At(1, k % 1000));
    EXPECT_EQ(taken[static_cast<std::size_t>(k)].bytes, chunk);
  }
  // Drained, it takes chunks again, also across the end of its storage.
  for (int round = 0; round < 600; ++round) {
    const std::vector<std::uint8_t> small(static_cast<std::size_t>(round % 97 + 1),
                                          static_cast<std::uint8_t>(round));
    ASSERT_TRUE(ring->Push(At(3, round), small));
    const auto back = DrainAll(*ring);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].bytes, small);
  }
}

TEST(CaptureRing, ALongChunkIsCutAndTheCutCounted) {
  auto ring = std::make_unique<CaptureRing>();
  ASSERT_TRUE(ring->Push(At(1, 0), std::vector<std::uint8_t>(CaptureRing::kMaxChunk + 5, 7)));
  EXPECT_EQ(DrainAll(*ring)[0].bytes.size(), 4096u);
  EXPECT_EQ(ring->drops().bytes, 5u);
}

// The file as the replay tool reads it: its bytes and its clock, line by line.
std::vector<ScriptLine> ReadBack(const std::string& text) {
  std::vector<ScriptLine> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::string error;
    const auto parsed = ParseScriptLine(line, &error);
    EXPECT_TRUE(parsed) << line << ": " << error;
    if (parsed && parsed->kind != ScriptLine::Kind::kEmpty) lines.push_back(*parsed);
  }
  return lines;
}

TEST(CaptureText, ReplaysToTheSameBytesAtTheSameClock) {
  CaptureText text;
  std::string file = text.Header("USB01", At(58, 900));
  text.AppendChunk(file, At(58, 900), std::vector<std::uint8_t>{0x81, 0x40, 0x00});
  text.AppendChunk(file, At(59, 150), std::vector<std::uint8_t>{0x00, 0xff});
  text.AppendChunk(file, At(59, 150), std::vector<std::uint8_t>{0x80});
  text.AppendChunk(file, At(30, 0), std::vector<std::uint8_t>{0x0a});  // the clock went back
  file += CaptureText::Trailer({3, 120}, "time is up");

  const auto lines = ReadBack(file);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0].kind, ScriptLine::Kind::kSetTime);
  EXPECT_EQ(lines[0].time, At(58, 900));
  EXPECT_EQ(lines[1].bytes, (std::vector<std::uint8_t>{0x81, 0x40, 0x00}));
  EXPECT_EQ(lines[2].kind, ScriptLine::Kind::kAdvance);
  EXPECT_EQ(lines[2].advance_ms, 250);
  EXPECT_EQ(lines[3].bytes, (std::vector<std::uint8_t>{0x00, 0xff}));
  EXPECT_EQ(lines[4].bytes, (std::vector<std::uint8_t>{0x80}));  // same time: no clock line
  EXPECT_EQ(lines[5].kind, ScriptLine::Kind::kSetTime);
  EXPECT_EQ(lines[5].time, At(30, 0));
  EXPECT_NE(file.find("# dropped 3 chunks (120 bytes)"), std::string::npos);
  EXPECT_TRUE(file.ends_with("\n# capture ended: time is up\n"));
}

}  // namespace
}  // namespace zorvik
