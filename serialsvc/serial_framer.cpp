// Message boundaries of the serial controller stream.
#include "serialsvc/serial_framer.h"

#include <algorithm>

#include "common/touch_wire.h"
#include "serialsvc/serial_frames.h"

namespace zorvik {

void SerialFramer::Start(SerialMessageKind kind) {
  std::fill_n(buffer_.begin(), fill_, 0);
  fill_ = 0;
  kind_ = kind;
}

std::optional<std::span<const std::uint8_t>> SerialFramer::Push(std::uint8_t byte) {
  if (fill_ == buffer_.size()) return std::nullopt;
  buffer_[fill_++] = byte;
  if (!Complete()) return std::nullopt;
  return Collected();
}

// The kind is kept after completion: bytes that follow without a header are collected but
// complete nothing, as the count has passed the length.
bool SerialFramer::Complete() const {
  switch (kind_) {
    case SerialMessageKind::kTouchFrame: {
      if (fill_ < serialframe::kRecords) return false;
      const auto counts = serialframe::DecodeShadowCounts(Collected());
      return fill_ ==
             serialframe::kRecords + serialframe::kRecordSize * static_cast<std::size_t>(counts.n);
    }
    case SerialMessageKind::kQueryAnswer:
    case SerialMessageKind::kFirmwareText:
    case SerialMessageKind::kIdentificationText:
      return touchwire::LengthPrefixedComplete(Collected());
    case SerialMessageKind::kNone:
      return false;
  }
  return false;
}

}  // namespace zorvik
