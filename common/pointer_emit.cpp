// Pointer output shared by both services.
#include "common/pointer_emit.h"

#include <cstring>

#include "common/byte_order.h"
#include "common/saturating_cast.h"

namespace zorvik {
namespace {

std::uint16_t ButtonFlags(PointerAction action) {
  switch (action) {
    case PointerAction::kMove:
      return 0;
    case PointerAction::kLeftPress:
      return 0x0001;
    case PointerAction::kLeftRelease:
      return 0x0002;
    case PointerAction::kRightPress:
      return 0x0004;
    case PointerAction::kRightRelease:
      return 0x0008;
  }
  return 0;
}

}  // namespace

MouseInputData BuildMouseInputData(PointerAction action, std::int32_t x, std::int32_t y,
                                   bool multi_monitor, std::uint32_t display_index) {
  MouseInputData record{};
  const std::uint16_t flags =
      multi_monitor ? kMouseMoveAbsolute | kMouseVirtualDesktop : kMouseMoveAbsolute;
  StoreLe<std::uint16_t>(record, 2, flags);
  StoreLe<std::uint16_t>(record, 4, ButtonFlags(action));
  if (action == PointerAction::kMove) {
    StoreLe<std::int32_t>(record, 12, x);
    StoreLe<std::int32_t>(record, 16, y);
  }
  StoreLe<std::uint32_t>(record, 20, display_index | kExtraInformationTag);
  return record;
}

std::optional<std::array<std::int32_t, 2>> ScaleToDesktop(std::int32_t x, std::int32_t y,
                                                          const DeviceSettings& settings) {
  const double vw = settings.VirtualWidth;
  const double vh = settings.VirtualHeight;
  if (vw == 0 || vh == 0) return std::nullopt;
  const double w = static_cast<double>(settings.monitor.right) - settings.monitor.left;
  const double h = static_cast<double>(settings.monitor.bottom) - settings.monitor.top;
  // The monitor's place within the desktop, which begins at the virtual origin.
  const double left = static_cast<double>(settings.monitor.left) - settings.virtual_origin.x;
  const double top = static_cast<double>(settings.monitor.top) - settings.virtual_origin.y;
  const std::int64_t xd = std::int64_t{TruncSaturate<std::int32_t>(w / vw * x)} +
                          TruncSaturate<std::int32_t>(left / vw * 65535);
  const std::int64_t yd = std::int64_t{TruncSaturate<std::int32_t>(h / vh * y)} +
                          TruncSaturate<std::int32_t>(top / vh * 65535);
  return std::array<std::int32_t, 2>{TruncSaturate<std::int32_t>(static_cast<long double>(xd)),
                                     TruncSaturate<std::int32_t>(static_cast<long double>(yd))};
}

void EmitPointer(PointerOutput& output, Platform platform, PointerAction action, std::int32_t x,
                 std::int32_t y, const DeviceSettings& settings) {
  const auto display = static_cast<std::uint32_t>(settings.display_index);
  if (platform != Platform::kNt) {
    output.MouseEvent(static_cast<std::uint32_t>(action) | kMouseEventAbsolute, x, y, 0,
                      display | kExtraInformationTag);
    return;
  }
  const bool multi_monitor = settings.MultiMonSupport != 0;
  if (action == PointerAction::kMove && multi_monitor) {
    const auto scaled = ScaleToDesktop(x, y, settings);
    if (!scaled) return;  // no virtual desktop size: no point rather than a division by zero
    x = (*scaled)[0];
    y = (*scaled)[1];
  }
  output.WriteRecord(BuildMouseInputData(action, x, y, multi_monitor, display));
}

}  // namespace zorvik
