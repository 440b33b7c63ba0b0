// What the calibration screen decides without a window: where it is placed, where its grid and
// targets are drawn, the three-point matrix from the recorded touches, and the per-monitor values
// it writes (the identity set at the start, the computed matrix at the end).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "common/registry_batch_writer.h"
#include "common/service_settings.h"
#include "common/settings_schema.h"
#include "common/settings_store.h"
#include "panel/display_mapping_model.h"

namespace zorvik::panel {

struct ClientPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const ClientPoint&) const = default;
};

// A window's place: left, top, width, height in virtual-screen pixels.
struct WindowPlace {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t cx = 0;
  std::int32_t cy = 0;
  bool operator==(const WindowPlace&) const = default;
};

// Where the full-screen dialog goes for the MonitorMaps values, the active monitor lookup's answer
// and the system's monitors in enumeration order; nothing when it stays where it is (a mode
// outside 0..3). A negative answer, and an answer beyond the last monitor (one removed since it
// was chosen), stand for monitor 0; with no monitor at all the client rectangle stands for it.
std::optional<WindowPlace> TouchScreenPlace(const MultiMonValues& values, std::int32_t active,
                                            std::span<const MonitorRect> monitors,
                                            ScreenSize primary, const MonitorRect& client);

// The first grid line of a pass at or after 0: lines lie at every multiple of `spacing` away from
// the middle (extent / 2) within [0, extent). Callers step by `spacing` while below `extent`.
std::int32_t FirstGridLine(std::int32_t extent, std::int32_t spacing);

inline constexpr int kTargetCount = 4;
// The four drawn targets of a w x h screen, top left, top right, bottom left, bottom right.
std::array<ClientPoint, kTargetCount> DrawnTargets(std::int32_t width, std::int32_t height);
// The three targets the matrix maps onto, from the client rectangle: one pixel up and left of the
// first three drawn targets.
std::array<ClientPoint, 3> MatrixTargets(const MonitorRect& client);

// The three-point matrix's seven values, An, Bn, Cn, Dn, En, Fn, Divider, carrying touched[i] onto
// targets[i] (the first three of each), in the arithmetic of `Number` (made from an int32, with
// +, - and *): the one formula behind the panel's wrapping 32-bit matrix and the kiosk
// calibration's exact 64-bit one. Divider is 0 when the touched points are collinear or coincident.
template <typename Number>
std::array<Number, 7> ThreePointTerms(std::span<const ClientPoint> touched,
                                      std::span<const ClientPoint> targets) {
  const Number xs0 = touched[0].x, ys0 = touched[0].y;
  const Number xs1 = touched[1].x, ys1 = touched[1].y;
  const Number xs2 = touched[2].x, ys2 = touched[2].y;
  const Number xd0 = targets[0].x, yd0 = targets[0].y;
  const Number xd1 = targets[1].x, yd1 = targets[1].y;
  const Number xd2 = targets[2].x, yd2 = targets[2].y;
  return {
      (xd0 - xd2) * (ys1 - ys2) - (xd1 - xd2) * (ys0 - ys2),
      (xs0 - xs2) * (xd1 - xd2) - (xd0 - xd2) * (xs1 - xs2),
      ys0 * (xs2 * xd1 - xs1 * xd2) + ys1 * (xs0 * xd2 - xs2 * xd0) + ys2 * (xs1 * xd0 - xs0 * xd1),
      (yd0 - yd2) * (ys1 - ys2) - (yd1 - yd2) * (ys0 - ys2),
      (xs0 - xs2) * (yd1 - yd2) - (yd0 - yd2) * (xs1 - xs2),
      ys0 * (xs2 * yd1 - xs1 * yd2) + ys1 * (xs0 * yd2 - xs2 * yd0) + ys2 * (xs1 * yd0 - xs0 * yd1),
      (xs0 - xs2) * (ys1 - ys2) - (xs1 - xs2) * (ys0 - ys2)};
}

// The three-point affine matrix carrying touched[i] onto targets[i], in wrapping 32-bit
// arithmetic. Divider is 0 when the touched points are collinear or coincident.
CalibrationMatrix ComputeCalibrationMatrix(const std::array<ClientPoint, 3>& touched,
                                           const std::array<ClientPoint, 3>& targets);

// The monitor the calibration is for: the active monitor lookup's answer, 0 when negative.
std::int32_t CalibrationMonitor(SettingsStore& store);

// The eleven General values of a monitor that a calibration writes: X, Y, XZOOMA, YZOOMA, An, Bn,
// Cn, Dn, En, Fn, Divider.
inline constexpr std::array<const char*, 11> kCalibrationFormats = {
    schema::kMonXFormat,  schema::kMonYFormat,  schema::kMonXZoomAFormat, schema::kMonYZoomAFormat,
    schema::kMonAnFormat, schema::kMonBnFormat, schema::kMonCnFormat,     schema::kMonDnFormat,
    schema::kMonEnFormat, schema::kMonFnFormat, schema::kMonDividerFormat};

// Adds the matrix's seven values for `monitor` under General to a batch.
void AddMatrixEntries(RegistryBatchWriter& writer, std::int32_t monitor,
                      const CalibrationMatrix& matrix);
// Adds X = 0, Y = 0, XZOOMA = YZOOMA = 10000 and the matrix for `monitor` under General to a batch.
void AddCalibrationEntries(RegistryBatchWriter& writer, std::int32_t monitor,
                           const CalibrationMatrix& matrix);

// Writes the entries above through the batch writer and forgets the accuracy of the mapping they
// replace. False when the writer cannot create its key or the accuracy cannot be deleted; what
// could be written then is.
[[nodiscard]] bool WriteCalibration(SettingsStore& store, std::int32_t monitor,
                                    const CalibrationMatrix& matrix);

// Deletes what a kiosk calibration stored beside the mapping of `monitor` (its check and fit
// errors and its time): every other write of the mapping calls it, since they describe the mapping
// that was in force. True when none of the three is left.
[[nodiscard]] bool ForgetCalibrationAccuracy(SettingsStore& store, std::int32_t monitor);

// Recording: every button-up counts, wherever it is; the fourth ends the procedure.
class CalibrationProcedure {
 public:
  enum class Step { kNext, kDone };

  int current() const { return current_; }
  // Records the touch for the current target and moves on; kDone after the fourth, when the
  // procedure starts over at target 0.
  Step Record(ClientPoint touch);
  // The matrix from the first three touches (the fourth is not used).
  CalibrationMatrix Matrix(const MonitorRect& client) const;

 private:
  int current_ = 0;
  std::array<ClientPoint, kTargetCount> touches_{};
};

}  // namespace zorvik::panel
