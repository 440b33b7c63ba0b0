// Least-squares affine fit, its stored integer form and its errors.
#include "panel/affine_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>

#include "common/calibration.h"

namespace zorvik::panel {
namespace {

constexpr double kInt32Max = std::numeric_limits<std::int32_t>::max();
// Points that spread less than this (RMS, pixels) across their thinnest direction fix no map.
constexpr double kMinimumSpreadPx = 1.0;

bool Fits32(std::int64_t v) {
  return v >= std::numeric_limits<std::int32_t>::min() &&
         v <= std::numeric_limits<std::int32_t>::max();
}

// Coordinates within this bound keep every product of three of them, and the sum of three such
// products, below 2^63 (3 · 2^20 · 2 · 2^40 < 2^63); client pixels lie far inside it.
constexpr std::int64_t kExactCoordinateBound = std::int64_t{1} << 20;

bool WithinExactBound(std::span<const ClientPoint> points) {
  return std::all_of(points.begin(), points.end(), [](ClientPoint p) {
    return std::abs(std::int64_t{p.x}) <= kExactCoordinateBound &&
           std::abs(std::int64_t{p.y}) <= kExactCoordinateBound;
  });
}

// The three-point matrix in exact 64-bit arithmetic; nothing when a coordinate lies outside the
// bound that keeps it exact or one of the seven leaves 32 bits.
std::optional<CalibrationMatrix> ExactThreePoint(std::span<const ClientPoint> s,
                                                 std::span<const ClientPoint> t) {
  if (!WithinExactBound(s) || !WithinExactBound(t)) return std::nullopt;
  const auto v = ThreePointTerms<std::int64_t>(s, t);
  for (const std::int64_t value : v) {
    if (!Fits32(value)) return std::nullopt;
  }
  const auto narrow = [&](int i) { return static_cast<std::int32_t>(v[i]); };
  return CalibrationMatrix{narrow(0), narrow(1), narrow(2), narrow(3),
                           narrow(4), narrow(5), narrow(6)};
}

// Whether the stored form holds the map: every coefficient finite and within 32 bits, so that a
// Divider of at least 1 exists (a larger one would only round it away).
bool FitsStoredForm(const AffineMap& map) {
  const double coefficients[6] = {map.a, map.b, map.c, map.d, map.e, map.f};
  return std::all_of(std::begin(coefficients), std::end(coefficients),
                     [](double c) { return std::isfinite(c) && std::fabs(c) <= kInt32Max; });
}

}  // namespace

RealPoint Apply(const AffineMap& m, RealPoint p) {
  return {m.a * p.x + m.b * p.y + m.c, m.d * p.x + m.e * p.y + m.f};
}

std::optional<AffineMap> FitAffine(std::span<const ClientPoint> from,
                                   std::span<const ClientPoint> to) {
  const std::size_t n = from.size();
  if (n < 3 || to.size() != n) return std::nullopt;
  // Centred sums keep the normal equations well conditioned for points far from the origin.
  double mx = 0, my = 0, mtx = 0, mty = 0;
  for (std::size_t i = 0; i < n; ++i) {
    mx += from[i].x, my += from[i].y, mtx += to[i].x, mty += to[i].y;
  }
  mx /= n, my /= n, mtx /= n, mty /= n;
  double suu = 0, suv = 0, svv = 0, sux = 0, svx = 0, suy = 0, svy = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double u = from[i].x - mx, v = from[i].y - my;
    const double tx = to[i].x - mtx, ty = to[i].y - mty;
    suu += u * u, suv += u * v, svv += v * v;
    sux += u * tx, svx += v * tx, suy += u * ty, svy += v * ty;
  }
  const double det = suu * svv - suv * suv;
  const double trace = suu + svv;
  const double thinnest = (trace - std::sqrt(std::max(0.0, trace * trace - 4 * det))) / 2;
  if (!(thinnest / static_cast<double>(n) >= kMinimumSpreadPx * kMinimumSpreadPx) || det <= 0) {
    return std::nullopt;
  }
  AffineMap m;
  m.a = (sux * svv - svx * suv) / det;
  m.b = (svx * suu - sux * suv) / det;
  m.d = (suy * svv - svy * suv) / det;
  m.e = (svy * suu - suy * suv) / det;
  m.c = mtx - m.a * mx - m.b * my;
  m.f = mty - m.d * mx - m.e * my;
  return m;
}

CalibrationMatrix IntegerForm(const AffineMap& map) {
  const double coefficients[6] = {map.a, map.b, map.c, map.d, map.e, map.f};
  double largest = 1;
  for (const double c : coefficients)
    largest = std::max(largest, std::fabs(c));
  // |c| * Divider <= INT32_MAX for every coefficient, so its rounding stays in range too.
  const double divider = std::max(1.0, std::floor(kInt32Max / largest));
  const auto scaled = [&](double c) {
    return static_cast<std::int32_t>(
        std::clamp(std::nearbyint(c * divider), -kInt32Max, kInt32Max));
  };
  CalibrationMatrix m;
  m.An = scaled(map.a);
  m.Bn = scaled(map.b);
  m.Cn = scaled(map.c);
  m.Dn = scaled(map.d);
  m.En = scaled(map.e);
  m.Fn = scaled(map.f);
  m.Divider = static_cast<std::int32_t>(divider);
  return m;
}

std::optional<CalibrationMatrix> FitCalibration(std::span<const ClientPoint> touched,
                                                std::span<const ClientPoint> targets) {
  const auto fit = FitAffine(touched, targets);
  if (!fit || !FitsStoredForm(*fit)) return std::nullopt;
  if (touched.size() == 3) {
    if (const auto exact = ExactThreePoint(touched, targets)) return exact;
  }
  return IntegerForm(*fit);
}

RealPoint MapWithMatrix(const CalibrationMatrix& matrix, ClientPoint touched) {
  const PixelPoint at{static_cast<float>(touched.x), static_cast<float>(touched.y)};
  const PixelPoint mapped = Calibrate(at, matrix).value_or(at);
  return {mapped.x, mapped.y};
}

MillimetreScale ScaleFor(std::int32_t width_px, std::int32_t height_px, double width_mm,
                         double height_mm) {
  const double w = std::max(1, width_px), h = std::max(1, height_px);
  if (width_mm > 0 && height_mm > 0) return {width_mm / w, height_mm / h, true};
  const double per_px = kAssumedDiagonalMm / std::hypot(w, h);
  return {per_px, per_px, false};
}

double DistanceMm(const MillimetreScale& scale, double dx_px, double dy_px) {
  return std::hypot(dx_px * scale.x, dy_px * scale.y);
}

std::int32_t ScreenError::micrometres() const {
  const double um = std::nearbyint(mm * 1000);
  return um >= kInt32Max ? std::numeric_limits<std::int32_t>::max() : static_cast<std::int32_t>(um);
}

ScreenError PointError(const CalibrationMatrix& matrix, ClientPoint touched, ClientPoint target,
                       const MillimetreScale& scale) {
  const RealPoint at = MapWithMatrix(matrix, touched);
  const double dx = at.x - target.x, dy = at.y - target.y;
  return {std::hypot(dx, dy), DistanceMm(scale, dx, dy)};
}

ScreenError FitResidual(const CalibrationMatrix& matrix, std::span<const ClientPoint> touched,
                        std::span<const ClientPoint> targets, const MillimetreScale& scale) {
  ScreenError worst;
  for (std::size_t i = 0; i < touched.size() && i < targets.size(); ++i) {
    const ScreenError e = PointError(matrix, touched[i], targets[i], scale);
    worst.px = std::max(worst.px, e.px);
    worst.mm = std::max(worst.mm, e.mm);
  }
  return worst;
}

}  // namespace zorvik::panel
