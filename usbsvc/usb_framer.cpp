// Frame boundaries of the USB controller stream.
#include "usbsvc/usb_framer.h"

#include <algorithm>

#include "common/byte_order.h"
#include "common/touch_wire.h"
#include "usbsvc/usb_frames.h"

namespace zorvik {

void UsbFramer::Start(UsbFrameKind kind) {
  Clear();
  kind_ = kind;
}

// Zeroes the buffer. Only bytes below the high-water mark can be non-zero, so only those are
// written: a frame start costs what the frame used, not the whole buffer.
void UsbFramer::Clear() {
  std::fill_n(buffer_.begin(), written_, 0);
  written_ = 0;
  fill_ = 0;
}

std::optional<std::span<const std::uint8_t>> UsbFramer::Push(std::uint8_t byte) {
  if (kind_ == UsbFrameKind::kIgnoredCells) return std::nullopt;
  if (fill_ == buffer_.size()) {
    Clear();  // overflow: the byte is lost and counting starts anew, in the same frame kind
    return std::nullopt;
  }
  buffer_[fill_++] = byte;
  written_ = std::max(written_, fill_);
  if (!Complete()) return std::nullopt;
  return Collected();
}

bool UsbFramer::Complete() {
  switch (kind_) {
    case UsbFrameKind::kSingleTouch:
      // Points follow each other without start bytes: the byte after a point is skipped, and
      // the next four form the next point.
      if (fill_ > usbframe::kSingleTouchSize) fill_ = 0;
      return fill_ == usbframe::kSingleTouchSize;
    case UsbFrameKind::kCells:
      return fill_ >= usbframe::kCellHeaderSize &&
             fill_ == usbframe::kCellHeaderSize + usbframe::CellCount(Collected());
    case UsbFrameKind::kQueryReply:
    case UsbFrameKind::kFirmwareReply:
    case UsbFrameKind::kDeviceIdReply:
      return touchwire::LengthPrefixedComplete(Collected());
    case UsbFrameKind::kIgnoredCells:
    case UsbFrameKind::kNone:
      return false;
  }
  return false;
}

}  // namespace zorvik
