// The calibration screen's placement, drawing positions, matrix and writes.
#include "panel/calibration_model.h"

#include <string>

#include "common/registry_batch_writer.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"

namespace zorvik::panel {
namespace {

WindowPlace PlaceOf(const MonitorRect& rect) {
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// Two's-complement wrap-around, as the 32-bit arithmetic of the calibration has always had it:
// unsigned arithmetic is defined to wrap, and the conversion back is modular in C++20.
struct Wrapping {
  std::uint32_t bits;
  Wrapping(std::int32_t value) : bits(static_cast<std::uint32_t>(value)) {}  // NOLINT
  static Wrapping Of(std::uint32_t bits) {
    Wrapping result(0);
    result.bits = bits;
    return result;
  }
  friend Wrapping operator+(Wrapping a, Wrapping b) { return Of(a.bits + b.bits); }
  friend Wrapping operator-(Wrapping a, Wrapping b) { return Of(a.bits - b.bits); }
  friend Wrapping operator*(Wrapping a, Wrapping b) { return Of(a.bits * b.bits); }
  std::int32_t value() const { return static_cast<std::int32_t>(bits); }
};

}  // namespace

std::optional<WindowPlace> TouchScreenPlace(const MultiMonValues& values, std::int32_t active,
                                            std::span<const MonitorRect> monitors,
                                            ScreenSize primary, const MonitorRect& client) {
  if (values.support == 0) return WindowPlace{0, 0, primary.width, primary.height};
  const bool first = active <= 0;
  const MonitorRect monitor0 = monitors.empty() ? client : monitors[0];
  const MonitorRect chosen =
      !first && static_cast<std::size_t>(active) < monitors.size() ? monitors[active] : monitor0;
  const WindowPlace r0 = PlaceOf(monitor0);
  switch (values.mode) {
    case kCloneMode:
    case kIndependentMode:
      return PlaceOf(chosen);
    case kStretchHorizontalMode: {
      const std::int32_t half = r0.cx / 2;
      return WindowPlace{first ? r0.x : r0.x + half, r0.y, half, r0.cy};
    }
    case kStretchVerticalMode: {
      const std::int32_t half = r0.cy / 2;
      return WindowPlace{r0.x, first ? r0.y : r0.y + half, r0.cx, half};
    }
    default:
      return std::nullopt;
  }
}

std::int32_t FirstGridLine(std::int32_t extent, std::int32_t spacing) {
  if (spacing <= 0 || extent <= 0) return 0;
  return (extent / 2) % spacing;
}

std::array<ClientPoint, kTargetCount> DrawnTargets(std::int32_t width, std::int32_t height) {
  const std::int32_t dx = width / 10, dy = height / 10;
  return {{{dx, dy}, {width - dx, dy}, {dx, height - dy}, {width - dx, height - dy}}};
}

std::array<ClientPoint, 3> MatrixTargets(const MonitorRect& client) {
  const std::int32_t dx = (client.right - client.left) / 10;
  const std::int32_t dy = (client.bottom - client.top) / 10;
  return {{{dx - 1, dy - 1},
           {client.right - dx - client.left - 1, dy - 1},
           {dx - 1, client.bottom - dy - client.top - 1}}};
}

CalibrationMatrix ComputeCalibrationMatrix(const std::array<ClientPoint, 3>& touched,
                                           const std::array<ClientPoint, 3>& targets) {
  const auto v = ThreePointTerms<Wrapping>(touched, targets);
  return {v[0].value(), v[1].value(), v[2].value(), v[3].value(),
          v[4].value(), v[5].value(), v[6].value()};
}

std::int32_t CalibrationMonitor(SettingsStore& store) {
  const std::int32_t answer = LookUpActiveMonitor(store);
  return answer < 0 ? 0 : answer;
}

void AddMatrixEntries(RegistryBatchWriter& writer, std::int32_t monitor,
                      const CalibrationMatrix& matrix) {
  const std::array<std::int32_t, 7> values = {matrix.An, matrix.Bn, matrix.Cn,     matrix.Dn,
                                              matrix.En, matrix.Fn, matrix.Divider};
  const auto formats = std::span(kCalibrationFormats).last<values.size()>();
  for (std::size_t k = 0; k < values.size(); ++k)
    writer.SetInteger(schema::GeneralEntry(formats[k], monitor), values[k]);
}

void AddCalibrationEntries(RegistryBatchWriter& writer, std::int32_t monitor,
                           const CalibrationMatrix& matrix) {
  writer.SetInteger(schema::GeneralEntry(schema::kMonXFormat, monitor), 0);
  writer.SetInteger(schema::GeneralEntry(schema::kMonYFormat, monitor), 0);
  writer.SetInteger(schema::GeneralEntry(schema::kMonXZoomAFormat, monitor), kUsbFullZoom);
  writer.SetInteger(schema::GeneralEntry(schema::kMonYZoomAFormat, monitor), kUsbFullZoom);
  AddMatrixEntries(writer, monitor, matrix);
}

bool WriteCalibration(SettingsStore& store, std::int32_t monitor, const CalibrationMatrix& matrix) {
  const bool written = WriteSettingsBatch(
      store, [&](RegistryBatchWriter& writer) { AddCalibrationEntries(writer, monitor, matrix); });
  return written && ForgetCalibrationAccuracy(store, monitor);
}

bool ForgetCalibrationAccuracy(SettingsStore& store, std::int32_t monitor) {
  const ScopedKey general =
      OpenKey(store, store.LocalMachine(), schema::kGeneralKey, key_rights::kSetValue);
  if (!general) return false;
  bool forgotten = true;
  for (const char* format : {schema::kMonCheckErrorUmFormat, schema::kMonFitErrorUmFormat,
                             schema::kMonCalibratedAtFormat}) {
    const std::uint32_t result =
        store.DeleteValue(general.get(), schema::NumberedName(format, monitor));
    forgotten =
        forgotten && (result == store_error::kSuccess || result == store_error::kFileNotFound);
  }
  return forgotten;
}

CalibrationProcedure::Step CalibrationProcedure::Record(ClientPoint touch) {
  touches_[current_] = touch;
  if (++current_ < kTargetCount) return Step::kNext;
  current_ = 0;
  return Step::kDone;
}

CalibrationMatrix CalibrationProcedure::Matrix(const MonitorRect& client) const {
  return ComputeCalibrationMatrix({touches_[0], touches_[1], touches_[2]}, MatrixTargets(client));
}

}  // namespace zorvik::panel
