// touchctl calibration: each monitor's calibration as the services load it, with the errors and
// the time a kiosk calibration stored beside it, in words and as JSON lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/service_settings.h"
#include "common/settings_store.h"

namespace zorvik {

struct MonitorCalibration {
  int monitor = 0;
  CalibrationMatrix matrix;  // as loaded: a missing value gives its default
  std::int32_t x_offset = 0, y_offset = 0, x_zoom = 10000, y_zoom = 10000;
  std::optional<std::int32_t> fit_error_um;  // nothing when absent or not a measurement
  std::optional<std::int32_t> check_error_um;
  std::optional<std::string> calibrated_at;
};

// Monitor 00 always, and every other monitor with a calibration value of its own.
std::vector<MonitorCalibration> ReadCalibrations(SettingsStore& store);

std::string CalibrationJson(const MonitorCalibration& calibration);
std::string CalibrationWords(const MonitorCalibration& calibration);

}  // namespace zorvik
