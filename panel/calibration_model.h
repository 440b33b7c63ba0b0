// What the calibration screen decides without a window: where it is placed, where its grid and
// targets are drawn, the three-point matrix from the recorded touches, and the per-monitor values
// it writes (the identity set at the start, the computed matrix at the end).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "common/service_settings.h"
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

// The three-point affine matrix carrying touched[i] onto targets[i], in wrapping 32-bit
// arithmetic. Divider is 0 when the touched points are collinear or coincident.
CalibrationMatrix ComputeCalibrationMatrix(const std::array<ClientPoint, 3>& touched,
                                           const std::array<ClientPoint, 3>& targets);

// The monitor the calibration is for: the active monitor lookup's answer, 0 when negative.
std::int32_t CalibrationMonitor(SettingsStore& store);

// Writes X = 0, Y = 0, XZOOMA = YZOOMA = 10000 and the matrix for `monitor` under General through
// the batch writer. False when the writer cannot create its key; what could be written then is.
[[nodiscard]] bool WriteCalibration(SettingsStore& store, std::int32_t monitor,
                                    const CalibrationMatrix& matrix);

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
