// A touch in monitor pixels and the per-monitor calibration matrix, shared by both services:
// sensor units (0..16383) to pixels of the monitor, then x' = (An·x + Bn·y + Cn) / Divider and
// y' = (Dn·x + En·y + Fn) / Divider.
#pragma once

#include <cstdint>
#include <optional>

#include "common/service_settings.h"

namespace zorvik {

inline constexpr std::int32_t kSensorRange = 16384;  // sensor units 0..16383

struct PixelPoint {
  float x = 0;
  float y = 0;
};

// Width and height of a monitor rectangle, saturated to 32 bits.
std::int32_t MonitorWidth(const MonitorRect& monitor);
std::int32_t MonitorHeight(const MonitorRect& monitor);

// Sensor units to monitor pixels, relative to the monitor's origin (single precision).
PixelPoint SensorToMonitor(std::int32_t x14, std::int32_t y14, const MonitorRect& monitor);

// The calibration matrix, in extended precision, held in single precision. No result when
// Divider is 0.
std::optional<PixelPoint> Calibrate(PixelPoint point, const CalibrationMatrix& matrix);

}  // namespace zorvik
