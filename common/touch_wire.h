// The wire rules both touch controllers share (USB and serial): the header bytes 0x80..0x84,
// the device query, the tick and one-shot right-click rules, and length-prefixed replies.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace zorvik::touchwire {

inline constexpr std::uint8_t kFingerUp = 0x80;
inline constexpr std::uint8_t kFingerDown = 0x81;
inline constexpr std::uint8_t kQueryReply = 0x82;
inline constexpr std::uint8_t kFirmwareReply = 0x83;
inline constexpr std::uint8_t kDeviceIdReply = 0x84;

inline constexpr bool IsHeaderByte(std::uint8_t byte) {
  return byte >= kFingerUp && byte <= kDeviceIdReply;
}

// Both controllers answer this query (the serial one echoes it).
inline constexpr std::array<std::uint8_t, 4> kDeviceQuery = {kQueryReply, 0x04, 0x0A, 0x0F};

// ClickMode: 1 ticks when a touch starts, 2 when it ends; other values never tick.
inline constexpr std::int32_t kTickAtTouchDown = 1;
inline constexpr std::int32_t kTickAtLift = 2;
inline constexpr bool TicksAtTouchDown(std::int32_t click_mode) {
  return click_mode == kTickAtTouchDown;
}
inline constexpr bool TicksAtLift(std::int32_t click_mode) {
  return click_mode == kTickAtLift;
}

// A right click lasts one release: after it the click tool is told (so it can show left-click
// mode again) and the device's copy goes back to left. The serial service's copy has no
// meaning before the first settings load, so that one passes `settings_loaded`.
template <typename Acknowledge>
void EndOneShotRightClick(std::int32_t& click_right_left, bool settings_loaded,
                          Acknowledge acknowledge) {
  if (click_right_left == 0 || !settings_loaded) return;
  acknowledge();
  click_right_left = 0;
}

// A reply whose first body byte is its length counted with the header byte is complete when
// that many bytes have arrived.
inline constexpr bool LengthPrefixedComplete(std::span<const std::uint8_t> body) {
  return !body.empty() && body[0] == body.size() + 1;
}

}  // namespace zorvik::touchwire
