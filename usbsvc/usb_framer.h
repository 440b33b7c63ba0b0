// Cuts a USB controller's byte stream into frames by their length rules: 4 data bytes for a
// single touch (repeating without a new start byte), N + 6 for a cell frame, the length byte for
// a reply. Fixed-size and allocation-free; start bytes are classified by the caller.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "usbsvc/wire_protocol.h"

namespace zorvik {

enum class UsbFrameKind {
  kNone,
  kSingleTouch,
  kCells,
  kIgnoredCells,  // a touch frame ignored after a jump: its data bytes are not collected
  kQueryReply,
  kFirmwareReply,
  kDeviceIdReply,
};

class UsbFramer {
 public:
  // A start byte: the frame in progress is abandoned and a new one of `kind` begins.
  void Start(UsbFrameKind kind);
  // An ignored cell frame keeps the bytes before it but collects none until the next start.
  void Ignore() { kind_ = UsbFrameKind::kIgnoredCells; }
  // A data byte; the frame's data bytes when this byte completes one.
  std::optional<std::span<const std::uint8_t>> Push(std::uint8_t byte);

  UsbFrameKind kind() const { return kind_; }

 private:
  bool Complete();
  void Clear();
  std::span<const std::uint8_t> Collected() const { return {buffer_.data(), fill_}; }

  std::array<std::uint8_t, wire::kFrameBufferSize> buffer_{};
  std::size_t fill_ = 0;
  std::size_t written_ = 0;  // high-water mark of fill_ since the last clear
  UsbFrameKind kind_ = UsbFrameKind::kNone;
};

}  // namespace zorvik
