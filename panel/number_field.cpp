// Parsing of the pages' number fields.
#include "panel/number_field.h"

#include <cstdint>
#include <limits>

namespace zorvik::panel {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::optional<std::int32_t> ParseNumberField(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at]))
    ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  const std::size_t digits_begin = at;
  // Accumulated as a magnitude in 64 bits and checked at every digit, so no digit count overflows.
  std::int64_t magnitude = 0;
  using Limits = std::numeric_limits<std::int32_t>;
  const std::int64_t limit =
      negative ? -static_cast<std::int64_t>(Limits::min()) : std::int64_t{Limits::max()};
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
    magnitude = magnitude * 10 + (text[at++] - '0');
    if (magnitude > limit) return std::nullopt;
  }
  if (at == digits_begin) return std::nullopt;
  while (at < text.size() && IsBlank(text[at]))
    ++at;
  if (at != text.size()) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace zorvik::panel
