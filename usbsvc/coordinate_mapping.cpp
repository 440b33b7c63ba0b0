// Coordinate mapping of the USB service.
#include "usbsvc/coordinate_mapping.h"

#include <algorithm>

#include "common/saturating_cast.h"

namespace zorvik {
namespace {

std::int32_t ClampPointer(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, 0, kPointerMax));
}

}  // namespace

std::optional<AbsolutePoint> MapToAbsolute(PixelPoint corrected, const DeviceSettings& s) {
  const std::int32_t w = MonitorWidth(s.monitor);
  const std::int32_t h = MonitorHeight(s.monitor);
  if (w == 0 || h == 0) return std::nullopt;
  const MonitorMapping& map = s.mapping;
  const std::int32_t nx = TruncSaturate<std::int32_t>(double{corrected.x} / w * kSensorRange);
  const std::int32_t ny = TruncSaturate<std::int32_t>(double{corrected.y} / h * kSensorRange);
  const double zx = map.XZoom * 0.0001 * nx / kSensorRange;
  const double zy = map.YZoom * 0.0001 * ny / kSensorRange;
  const int flag = s.ScreenRotateFlag;
  if (flag != 0 && flag != 90 && flag != 180 && flag != 270 && flag != 360) {
    return AbsolutePoint{nx, ny};  // no rotation stage: normalised units, not clamped
  }
  const std::int64_t ox = TruncSaturate<std::int32_t>(map.XOffset * 0.001 * kPointerMax);
  const std::int64_t oy = TruncSaturate<std::int32_t>(map.YOffset * 0.001 * kPointerMax);
  const std::int64_t mx = TruncSaturate<std::int32_t>((kPointerMax - map.XZoom * 6.5535) * 0.5);
  const std::int64_t my = TruncSaturate<std::int32_t>((kPointerMax - map.YZoom * 6.5535) * 0.5);
  // The turned modes (90, 270, 360) use the exchanged forms: X from zy, Y from zx.
  const bool turned = flag == 90 || flag == 270 || flag == 360;
  const std::int64_t tx = TruncSaturate<std::int32_t>((turned ? zy : zx) * kPointerMax);
  const std::int64_t ty = TruncSaturate<std::int32_t>((turned ? zx : zy) * kPointerMax);
  switch (flag) {
    case 90:
      return AbsolutePoint{kPointerMax - ClampPointer(ox + mx + tx), ClampPointer(oy + my + ty)};
    case 180:
      return AbsolutePoint{kPointerMax - ClampPointer(ox + mx + tx),
                           kPointerMax - ClampPointer(oy + my + ty)};
    case 270:
      return AbsolutePoint{ClampPointer(ox + mx + tx), kPointerMax - ClampPointer(oy + my + ty)};
    case 360:
      return AbsolutePoint{ClampPointer(oy + mx + tx), ClampPointer(ox + my + ty)};
    default:
      return AbsolutePoint{ClampPointer(ox + mx + tx), ClampPointer(oy + my + ty)};
  }
}

void PointerFilter::Reset(double value) {
  x0_ = x1_ = x2_ = y0_ = y1_ = y2_ = 0;
  for (int i = 0; i < 10; ++i)
    Feed(value);
}

double PointerFilter::Feed(double value) {
  x0_ = x1_;
  x1_ = x2_;
  x2_ = value / 10.24264069;
  y0_ = y1_;
  y1_ = y2_;
  y2_ = (x0_ + x2_) + 2 * x1_ - 0.3333333333 * y0_ + 0.9428090416 * y1_;
  return y2_;
}

}  // namespace zorvik
