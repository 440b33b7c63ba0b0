// Cuts a serial controller's byte stream into messages by their length rules: 8·N + 8 body
// bytes for a touch frame, the length byte for the query answer and the two texts. Fixed-size
// and allocation-free; headers are classified by the caller.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zorvik {

inline constexpr std::size_t kSerialBufferSize = 1024;

enum class SerialMessageKind {
  kNone,
  kTouchFrame,
  kQueryAnswer,
  kFirmwareText,
  kIdentificationText
};

class SerialFramer {
 public:
  // A header: the message in progress is abandoned and a new one of `kind` begins.
  void Start(SerialMessageKind kind);
  // A body byte; the message's body when this byte completes it. Bytes beyond the buffer are
  // dropped, and a message that overflows never completes.
  std::optional<std::span<const std::uint8_t>> Push(std::uint8_t byte);

  SerialMessageKind kind() const { return kind_; }

 private:
  bool Complete() const;
  std::span<const std::uint8_t> Collected() const { return {buffer_.data(), fill_}; }

  std::array<std::uint8_t, kSerialBufferSize> buffer_{};
  std::size_t fill_ = 0;
  SerialMessageKind kind_ = SerialMessageKind::kNone;
};

}  // namespace zorvik
