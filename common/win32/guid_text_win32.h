// A GUID from its registry spelling ("{E6EF7DCD-1795-4A08-9FBF-AA78423C26F0}") at compile time, so
// that a class GUID is written once, as the text the registry and the peers use.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace zorvik {

namespace guid_text {

inline constexpr std::size_t kLength = 38;  // braces, 32 digits, 4 dashes

constexpr std::uint32_t Digit(char c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<std::uint32_t>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<std::uint32_t>(c - 'a' + 10);
  throw std::invalid_argument("not a hexadecimal digit");  // a compile error in constant use
}

constexpr std::uint32_t Hex(const char* text, std::size_t at, std::size_t digits) {
  std::uint32_t value = 0;
  for (std::size_t k = 0; k < digits; ++k)
    value = value * 16 + Digit(text[at + k]);
  return value;
}

}  // namespace guid_text

constexpr GUID GuidFromText(const char (&text)[guid_text::kLength + 1]) {
  using guid_text::Hex;
  if (text[0] != '{' || text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-' ||
      text[37] != '}') {
    throw std::invalid_argument("not a braced GUID");
  }
  GUID guid{};
  guid.Data1 = static_cast<unsigned long>(Hex(text, 1, 8));
  guid.Data2 = static_cast<unsigned short>(Hex(text, 10, 4));
  guid.Data3 = static_cast<unsigned short>(Hex(text, 15, 4));
  constexpr std::size_t kTailStarts[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (std::size_t k = 0; k < 8; ++k)
    guid.Data4[k] = static_cast<unsigned char>(Hex(text, kTailStarts[k], 2));
  return guid;
}

}  // namespace zorvik
