// A capture file is written in the replay tool's input language: "#" comments, "@time" once at
// the start, "@advance MS" between chunks read at different times, and one read chunk per line
// as hex pairs. Replayed, it gives the pipeline the same bytes at the same clock readings.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/capture/capture_ring.h"
#include "common/utc_time.h"

namespace zorvik {

// The most a capture file may hold; the capture ends before a chunk would pass it.
inline constexpr std::uint64_t kMaxCaptureBytes = 64ull * 1024 * 1024;

class CaptureText {
 public:
  // "# <source> capture" and the first "@time".
  std::string Header(std::string_view source, const UtcTime& start);
  // The clock line the chunk needs ("@advance N" after the last chunk's time; a new "@time" when
  // the clock went back), then its bytes.
  void AppendChunk(std::string& out, const UtcTime& at, std::span<const std::uint8_t> bytes);
  // What was dropped and why the capture ended, as comments.
  static std::string Trailer(const CaptureDrops& drops, std::string_view end_reason);

  static std::string TimeText(const UtcTime& at);

 private:
  std::int64_t last_ms_ = 0;
};

}  // namespace zorvik
