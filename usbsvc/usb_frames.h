// The layouts of complete USB controller frames (data bytes after the start byte) and their
// decoders: small pure functions over the bytes the framer collected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "common/byte_order.h"
#include "usbsvc/touch_sharing.h"
#include "usbsvc/wire_protocol.h"

namespace zorvik::usbframe {

// Single touch: X and Y as 7-bit pairs.
inline constexpr std::size_t kTouchX = 0;
inline constexpr std::size_t kTouchY = 2;
inline constexpr std::size_t kSingleTouchSize = 4;

// Cell frame: N (level bytes), CX and CY (cells per axis), then the N levels.
inline constexpr std::size_t kCellCount = 0;
inline constexpr std::size_t kCellsX = 2;
inline constexpr std::size_t kCellsY = 4;
inline constexpr std::size_t kCellHeaderSize = 6;
inline constexpr std::size_t kCellLevels = kCellHeaderSize;

// Replies: the length byte, then the reply bytes (the text, or the own-kind mark).
inline constexpr std::size_t kReplyLength = 0;
inline constexpr std::size_t kReplyBody = 1;
inline constexpr std::size_t kOwnKindMark = 1;

struct RawPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

inline std::int32_t PairAt(std::span<const std::uint8_t> frame, std::size_t offset) {
  return SevenBitPair(frame[offset], frame[offset + 1]);
}

// The N of a cell frame whose header count has arrived; N + 6 is its length.
inline std::size_t CellCount(std::span<const std::uint8_t> frame) {
  return frame.size() < kCellCount + 2 ? 0 : static_cast<std::size_t>(PairAt(frame, kCellCount));
}

inline RawPoint DecodeSingleTouch(std::span<const std::uint8_t> frame) {
  return {PairAt(frame, kTouchX), PairAt(frame, kTouchY)};
}

inline CellHeader DecodeCellHeader(std::span<const std::uint8_t> frame) {
  CellHeader header;
  header.n = static_cast<std::uint16_t>(PairAt(frame, kCellCount));
  header.cx = static_cast<std::uint16_t>(PairAt(frame, kCellsX));
  header.cy = static_cast<std::uint16_t>(PairAt(frame, kCellsY));
  return header;
}

inline std::span<const std::uint8_t> CellLevels(std::span<const std::uint8_t> frame) {
  return frame.subspan(kCellLevels);
}

inline bool FromOwnKind(std::span<const std::uint8_t> reply) {
  return reply.size() >= kOwnKindMark + 2 && reply[kOwnKindMark] == wire::kOwnKindMark1 &&
         reply[kOwnKindMark + 1] == wire::kOwnKindMark2;
}

inline std::string_view ReplyText(std::span<const std::uint8_t> reply) {
  return {reinterpret_cast<const char*>(reply.data()) + kReplyBody, reply.size() - kReplyBody};
}

}  // namespace zorvik::usbframe
