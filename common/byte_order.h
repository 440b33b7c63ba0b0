// Little-endian fields in byte buffers (sections, records): the layouts peer programs read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace zorvik {

// The hosts we build for are little-endian, so the value's bytes are the field's bytes.
template <typename T>
void StoreLe(std::span<std::uint8_t> bytes, std::size_t offset, T value) {
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

template <typename T>
T LoadLe(std::span<const std::uint8_t> bytes, std::size_t offset) {
  T value{};
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// Two 7-bit data bytes of the controller wire, high part first (0 to 16383).
constexpr std::int32_t SevenBitPair(std::uint8_t high, std::uint8_t low) {
  return high * 128 + low;
}

}  // namespace zorvik
