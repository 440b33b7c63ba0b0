// Bytes of the USB controller protocol: frame start bytes and the two host commands. The
// header bytes 0x80..0x84 and the device query are shared with the serial controller.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/touch_wire.h"

namespace zorvik::wire {

inline constexpr std::uint8_t kFingerUp = touchwire::kFingerUp;
inline constexpr std::uint8_t kFingerDown = touchwire::kFingerDown;
inline constexpr std::uint8_t kQueryReply = touchwire::kQueryReply;
inline constexpr std::uint8_t kFirmwareReply = touchwire::kFirmwareReply;
inline constexpr std::uint8_t kDeviceIdReply = touchwire::kDeviceIdReply;
inline constexpr std::uint8_t kCellsLifted = 0xE0;
inline constexpr std::uint8_t kCellsTouched = 0xE1;

// A query reply starting with these two bytes comes from a controller of our own kind.
inline constexpr std::uint8_t kOwnKindMark1 = 0xAB;
inline constexpr std::uint8_t kOwnKindMark2 = 0xA4;

inline constexpr std::array<std::uint8_t, 4> kDeviceQuery = touchwire::kDeviceQuery;
inline constexpr std::array<std::uint8_t, 2> kAcknowledge = {0xAA, 0x02};

// Chunks of this size or more are dropped whole; the frame buffer holds this many data bytes.
inline constexpr std::size_t kChunkLimit = 1024;
inline constexpr std::size_t kFrameBufferSize = 1024;

inline bool IsStartByte(std::uint8_t byte) {
  return touchwire::IsHeaderByte(byte) || byte == kCellsLifted || byte == kCellsTouched;
}

}  // namespace zorvik::wire
