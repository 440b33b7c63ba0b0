// Bytes of the USB controller protocol: frame start bytes and the two host commands.
#pragma once

#include <array>
#include <cstdint>

namespace zorvik::wire {

inline constexpr std::uint8_t kFingerUp = 0x80;
inline constexpr std::uint8_t kFingerDown = 0x81;
inline constexpr std::uint8_t kQueryReply = 0x82;
inline constexpr std::uint8_t kFirmwareReply = 0x83;
inline constexpr std::uint8_t kDeviceIdReply = 0x84;
inline constexpr std::uint8_t kCellsLifted = 0xE0;
inline constexpr std::uint8_t kCellsTouched = 0xE1;

// A query reply starting with these two bytes comes from a controller of our own kind.
inline constexpr std::uint8_t kOwnKindMark1 = 0xAB;
inline constexpr std::uint8_t kOwnKindMark2 = 0xA4;

inline constexpr std::array<std::uint8_t, 4> kDeviceQuery = {0x82, 0x04, 0x0A, 0x0F};
inline constexpr std::array<std::uint8_t, 2> kAcknowledge = {0xAA, 0x02};

// Chunks of this size or more are dropped whole; the frame buffer holds this many data bytes.
inline constexpr std::size_t kChunkLimit = 1024;
inline constexpr std::size_t kFrameBufferSize = 1024;

inline bool IsStartByte(std::uint8_t byte) {
  return (byte >= kFingerUp && byte <= kDeviceIdReply) || byte == kCellsLifted ||
         byte == kCellsTouched;
}

}  // namespace zorvik::wire
