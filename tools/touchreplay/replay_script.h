// The replay input language, one line at a time: bytes as hex pairs (one read chunk per line),
// "#" comments, and the clock directives "@time 2026-01-02T03:04:05.678Z" and "@advance MS".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/utc_time.h"

namespace zorvik {

struct ScriptLine {
  enum class Kind { kEmpty, kBytes, kSetTime, kAdvance };
  Kind kind = Kind::kEmpty;
  std::vector<std::uint8_t> bytes;
  UtcTime time;
  std::int64_t advance_ms = 0;
};

// Parses one line; on failure returns nothing and sets `error`.
std::optional<ScriptLine> ParseScriptLine(std::string_view line, std::string* error);

// "YYYY-MM-DDTHH:MM:SS[.mmm]Z", fields range-checked.
std::optional<UtcTime> ParseUtcTime(std::string_view text);

// Text after '#' removed, blanks trimmed at both ends.
std::string_view StripComment(std::string_view line);

}  // namespace zorvik
