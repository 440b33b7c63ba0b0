// The replay input language.
#include "tools/touchreplay/replay_script.h"

#include <charconv>

#include "tools/common/text_parsing.h"

namespace zorvik {
namespace {

// A fixed-width decimal field.
bool Digits(std::string_view text, std::size_t at, std::size_t count, int low, int high, int* out) {
  if (at + count > text.size()) return false;
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  if (value < low || value > high) return false;
  *out = value;
  return true;
}

bool LeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && LeapYear(y) ? 29 : kDays[m - 1];
}

std::optional<ScriptLine> ParseDirective(std::string_view text, std::string* error) {
  const std::size_t space = text.find_first_of(" \t");
  const std::string_view name = text.substr(0, space);
  const std::string_view arg =
      space == std::string_view::npos ? "" : TrimBlanks(text.substr(space));
  ScriptLine line;
  if (name == "@time") {
    const auto time = ParseUtcTime(arg);
    if (!time) {
      *error = "bad time '" + std::string(arg) + "' (expected YYYY-MM-DDTHH:MM:SS.mmmZ)";
      return std::nullopt;
    }
    line.kind = ScriptLine::Kind::kSetTime;
    line.time = *time;
    return line;
  }
  if (name == "@advance") {
    std::int64_t ms = 0;
    const auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), ms);
    if (ec != std::errc() || end != arg.data() + arg.size() || ms < 0 || arg.empty()) {
      *error = "bad @advance '" + std::string(arg) + "' (expected milliseconds, 0 or more)";
      return std::nullopt;
    }
    line.kind = ScriptLine::Kind::kAdvance;
    line.advance_ms = ms;
    return line;
  }
  *error = "unknown directive '" + std::string(name) + "'";
  return std::nullopt;
}

}  // namespace

std::string_view StripComment(std::string_view line) {
  return TrimBlanks(line.substr(0, line.find('#')));
}

std::optional<UtcTime> ParseUtcTime(std::string_view text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
  if (!Digits(text, 0, 4, 1601, 9999, &y) || text.size() < 20 || text[4] != '-' ||
      !Digits(text, 5, 2, 1, 12, &mo) || text[7] != '-' || !Digits(text, 8, 2, 1, 31, &d) ||
      text[10] != 'T' || !Digits(text, 11, 2, 0, 23, &h) || text[13] != ':' ||
      !Digits(text, 14, 2, 0, 59, &mi) || text[16] != ':' || !Digits(text, 17, 2, 0, 59, &s)) {
    return std::nullopt;
  }
  std::size_t at = 19;
  if (text[at] == '.') {
    if (!Digits(text, at + 1, 3, 0, 999, &ms)) return std::nullopt;
    at += 4;
  }
  if (at + 1 != text.size() || text[at] != 'Z' || d > DaysInMonth(y, mo)) return std::nullopt;
  return UtcTime{static_cast<std::uint16_t>(y),  static_cast<std::uint16_t>(mo),
                 static_cast<std::uint16_t>(d),  static_cast<std::uint16_t>(h),
                 static_cast<std::uint16_t>(mi), static_cast<std::uint16_t>(s),
                 static_cast<std::uint16_t>(ms)};
}

std::optional<ScriptLine> ParseScriptLine(std::string_view raw, std::string* error) {
  const std::string_view text = StripComment(raw);
  if (text.empty()) return ScriptLine{};
  if (text.front() == '@') return ParseDirective(text, error);
  ScriptLine line;
  line.kind = ScriptLine::Kind::kBytes;
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsBlank(text[i])) {
      ++i;
      continue;
    }
    const std::size_t end = std::min(text.find_first_of(" \t", i), text.size());
    const std::string_view token = text.substr(i, end - i);
    const auto byte = HexByte(token);
    if (!byte) {
      *error = "bad hex pair '" + std::string(token) + "'";
      return std::nullopt;
    }
    line.bytes.push_back(*byte);
    i = end;
  }
  return line;
}

}  // namespace zorvik
