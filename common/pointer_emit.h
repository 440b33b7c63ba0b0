// Pointer output shared by both services: the 24-byte MOUSE_INPUT_DATA record written to the
// virtual mouse driver on NT-family systems, the mouse_event call elsewhere, and the desktop
// scaling of moves on a multi-monitor desktop.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "common/service_settings.h"

namespace zorvik {

// Codes equal the Windows mouse_event flags.
enum class PointerAction : std::uint32_t {
  kMove = 1,
  kLeftPress = 2,
  kLeftRelease = 4,
  kRightPress = 8,
  kRightRelease = 16,
};

enum class Platform { kNt, kOther };

inline constexpr std::size_t kMouseInputDataSize = 24;
using MouseInputData = std::array<std::uint8_t, kMouseInputDataSize>;

inline constexpr std::uint16_t kMouseMoveAbsolute = 0x0001;
inline constexpr std::uint16_t kMouseVirtualDesktop = 0x0002;
inline constexpr std::uint32_t kMouseEventAbsolute = 0x8000;
inline constexpr std::uint32_t kExtraInformationTag = 0xFFFFFFF0;

class PointerOutput {
 public:
  virtual ~PointerOutput() = default;
  // One record, one write to \\.\MeridaxMouse (nothing when the device is not open).
  virtual void WriteRecord(const MouseInputData& record) = 0;
  // mouse_event(flags, dx, dy, data, extra) on non-NT systems.
  virtual void MouseEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy, std::uint32_t data,
                          std::uint32_t extra) = 0;
};

// Built from zero: a button record carries no position.
MouseInputData BuildMouseInputData(PointerAction action, std::int32_t x, std::int32_t y,
                                   bool multi_monitor, std::uint32_t display_index);

// The monitor's share of the virtual desktop; none when the desktop size is 0.
std::optional<std::array<std::int32_t, 2>> ScaleToDesktop(std::int32_t x, std::int32_t y,
                                                          const DeviceSettings& settings);

// The single output path of every pointer action.
void EmitPointer(PointerOutput& output, Platform platform, PointerAction action, std::int32_t x,
                 std::int32_t y, const DeviceSettings& settings);

}  // namespace zorvik
