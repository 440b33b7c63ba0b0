// The mapping of a touch from sensor units to pointer units: sensor to monitor pixels, the
// calibration matrix, normalisation with zoom, offset and rotation, and the smoothing filter.
#pragma once

#include <cstdint>
#include <optional>

#include "common/calibration.h"
#include "common/service_settings.h"

namespace zorvik {

inline constexpr std::int32_t kPointerMax = 65535;  // pointer units 0..65535

struct AbsolutePoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const AbsolutePoint&) const = default;
};

// Stages 1 and 2 (sensor to pixels, calibration) are SensorToMonitor and Calibrate.

// Stage 3: corrected pixels to absolute pointer units by zoom, offset and rotation. No result
// for a monitor of width or height 0.
std::optional<AbsolutePoint> MapToAbsolute(PixelPoint corrected, const DeviceSettings& settings);

// Second-order low-pass, unity gain at rest, one per axis.
class PointerFilter {
 public:
  // Clears the history, then feeds `value` ten times.
  void Reset(double value);
  double Feed(double value);

 private:
  double x0_ = 0, x1_ = 0, x2_ = 0;
  double y0_ = 0, y1_ = 0, y2_ = 0;
};

}  // namespace zorvik
