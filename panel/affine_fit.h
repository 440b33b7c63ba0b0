// The least-squares affine fit behind the kiosk calibration: N touched points onto N targets,
// expressed in the seven stored integers the services apply, and its errors in pixels and
// millimetres.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "common/service_settings.h"
#include "panel/calibration_model.h"

namespace zorvik::panel {

// x' = a·x + b·y + c, y' = d·x + e·y + f, in real numbers.
struct AffineMap {
  double a = 1, b = 0, c = 0;
  double d = 0, e = 1, f = 0;
};

struct RealPoint {
  double x = 0;
  double y = 0;
};
RealPoint Apply(const AffineMap& map, RealPoint p);

// The least-squares map carrying from[i] onto to[i]. Nothing when there are fewer than three
// points, the spans differ in length, or the `from` points spread less than a pixel across their
// thinnest direction (collinear or coincident: no affine map is determined).
std::optional<AffineMap> FitAffine(std::span<const ClientPoint> from,
                                   std::span<const ClientPoint> to);

// The integer form of a map: Divider is the largest positive value with which every one of the
// seven integers stays within the signed 32-bit range, so the rounding of each coefficient
// (at most 0.5 / Divider) is as small as the stored form allows.
CalibrationMatrix IntegerForm(const AffineMap& map);

// The calibration from touched points onto targets, in the stored form. With three points whose
// exact three-point matrix fits 32 bits it is that matrix, integer for integer (the panel's own
// calibration computes the same); otherwise the least-squares fit in IntegerForm. Nothing when
// the points are degenerate, or when a coefficient of the fit exceeds 32 bits (no Divider holds
// it: touches millions of pixels from their targets).
std::optional<CalibrationMatrix> FitCalibration(std::span<const ClientPoint> touched,
                                                std::span<const ClientPoint> targets);

// Where the services put a point with this matrix (the same arithmetic as theirs).
RealPoint MapWithMatrix(const CalibrationMatrix& matrix, ClientPoint touched);

// Millimetres per pixel along each axis. A monitor whose physical size is unknown counts as one
// with a 381 mm (15 inch) diagonal and square pixels: limits then are a share of its diagonal.
struct MillimetreScale {
  double x = 0;
  double y = 0;
  bool measured = false;
};
inline constexpr double kAssumedDiagonalMm = 381.0;
MillimetreScale ScaleFor(std::int32_t width_px, std::int32_t height_px, double width_mm,
                         double height_mm);
double DistanceMm(const MillimetreScale& scale, double dx_px, double dy_px);

// An error as a distance on the screen.
struct ScreenError {
  double px = 0;
  double mm = 0;
  std::int32_t micrometres() const;
};

// The largest distance between where the matrix puts a touch and its target.
ScreenError FitResidual(const CalibrationMatrix& matrix, std::span<const ClientPoint> touched,
                        std::span<const ClientPoint> targets, const MillimetreScale& scale);
// The distance between where the matrix puts one touch and its target.
ScreenError PointError(const CalibrationMatrix& matrix, ClientPoint touched, ClientPoint target,
                       const MillimetreScale& scale);

}  // namespace zorvik::panel
