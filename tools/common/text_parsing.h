// Small text readers shared by the tools' input formats.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorvik {

inline bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Blanks (space, tab, CR, LF) removed at both ends.
inline std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

// 0..15, or −1 for a character that is no hexadecimal digit.
inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Exactly two hexadecimal digits.
inline std::optional<std::uint8_t> HexByte(std::string_view pair) {
  if (pair.size() != 2 || HexDigit(pair[0]) < 0 || HexDigit(pair[1]) < 0) return std::nullopt;
  return static_cast<std::uint8_t>(HexDigit(pair[0]) * 16 + HexDigit(pair[1]));
}

// Text from a file or the registry as a terminal may show it: printable ASCII, any other byte as
// '?', cut to `longest` characters with "..." after, so that hostile data cannot move the cursor
// or fill the screen.
inline std::string PrintableText(std::string_view text, std::size_t longest) {
  std::string out;
  for (const char c : text.substr(0, longest))
    out += c >= 0x20 && c < 0x7F ? c : '?';
  return text.size() > longest ? out + "..." : out;
}

// A quoted string with \\ and \" escapes, as .reg files write names and texts; `rest` is what
// follows the closing quote. False when the text opens no quote or never closes it.
inline bool ParseQuoted(std::string_view text, std::string* out, std::string_view* rest) {
  if (text.empty() || text.front() != '"') return false;
  out->clear();
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      *out += text[++i];
    } else if (text[i] == '"') {
      *rest = text.substr(i + 1);
      return true;
    } else {
      *out += text[i];
    }
  }
  return false;
}

}  // namespace zorvik
