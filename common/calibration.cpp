// Sensor-to-pixel scaling and the calibration matrix.
#include "common/calibration.h"

#include <algorithm>
#include <limits>

namespace zorvik {
namespace {

std::int32_t Saturate32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

std::int32_t MonitorWidth(const MonitorRect& m) {
  return Saturate32(std::int64_t{m.right} - m.left);
}
std::int32_t MonitorHeight(const MonitorRect& m) {
  return Saturate32(std::int64_t{m.bottom} - m.top);
}

PixelPoint SensorToMonitor(std::int32_t x14, std::int32_t y14, const MonitorRect& monitor) {
  return {static_cast<float>(x14) / kSensorRange * static_cast<float>(MonitorWidth(monitor)),
          static_cast<float>(y14) / kSensorRange * static_cast<float>(MonitorHeight(monitor))};
}

std::optional<PixelPoint> Calibrate(PixelPoint point, const CalibrationMatrix& m) {
  if (m.Divider == 0) return std::nullopt;
  const long double x = point.x;
  const long double y = point.y;
  const long double divider = m.Divider;
  return PixelPoint{static_cast<float>((m.Bn * y + m.An * x + m.Cn) / divider),
                    static_cast<float>((m.Dn * x + m.En * y + m.Fn) / divider)};
}

}  // namespace zorvik
