// The layouts of complete serial controller messages (body bytes after the header) and their
// decoders: small pure functions over the body the framer collected.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "common/byte_order.h"

namespace zorvik::serialframe {

// Touch frame: 4 bytes not interpreted, cX and cY (shadows per axis), then N = max(cX, cY)
// shadow records.
inline constexpr std::size_t kShadowsX = 4;
inline constexpr std::size_t kShadowsY = 6;
inline constexpr std::size_t kRecords = 8;
inline constexpr std::size_t kRecordSize = 8;

// Shadow record: the two edges of X shadow i, then of Y shadow i.
inline constexpr std::size_t kXFirst = 0;
inline constexpr std::size_t kXSecond = 2;
inline constexpr std::size_t kYFirst = 4;
inline constexpr std::size_t kYSecond = 6;

// Query answer: the length byte, then the echo of the query's two payload bytes.
inline constexpr std::size_t kQueryEcho = 1;
inline constexpr std::uint8_t kQueryEcho1 = 0x0A;
inline constexpr std::uint8_t kQueryEcho2 = 0x0F;

// Texts: the length byte, then the characters.
inline constexpr std::size_t kTextBody = 1;

inline std::int32_t PairAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return SevenBitPair(bytes[offset], bytes[offset + 1]);
}

struct ShadowCounts {
  std::int32_t cx = 0;
  std::int32_t cy = 0;
  std::int32_t n = 0;  // records in the frame
};

// Of a touch frame whose counts have arrived.
inline ShadowCounts DecodeShadowCounts(std::span<const std::uint8_t> frame) {
  const std::int32_t cx = PairAt(frame, kShadowsX);
  const std::int32_t cy = PairAt(frame, kShadowsY);
  return {cx, cy, std::max(cx, cy)};
}

inline std::span<const std::uint8_t> Record(std::span<const std::uint8_t> frame, std::size_t i) {
  return frame.subspan(kRecords + kRecordSize * i, kRecordSize);
}

inline bool IsQueryAnswer(std::span<const std::uint8_t> answer) {
  return answer.size() >= kQueryEcho + 2 && answer[kQueryEcho] == kQueryEcho1 &&
         answer[kQueryEcho + 1] == kQueryEcho2;
}

inline std::span<const std::uint8_t> Text(std::span<const std::uint8_t> message) {
  return message.subspan(kTextBody);
}

}  // namespace zorvik::serialframe
