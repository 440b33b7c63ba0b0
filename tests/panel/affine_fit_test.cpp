// The N-point fit: the panel's own matrix for three points, random distortions with noise, the
// integer form's range and precision, degenerate sets, and errors in millimetres.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "panel/affine_fit.h"
#include "panel/calibration_model.h"

namespace zorvik::testing {
namespace {

using namespace panel;

TEST(AffineFit, ThreePointsGiveThePanelsOwnMatrixIntegerForInteger) {
  const auto targets = MatrixTargets({0, 0, 1024, 768});
  const std::array<ClientPoint, 3> touched_sets[] = {
      targets,                                // on target
      {{{113, 60}, {871, 88}, {95, 662}}},    // offset, scaled, sheared
      {{{-20, -15}, {900, -3}, {-30, 700}}},  // partly outside the screen
      {{{921, 75}, {101, 75}, {101, 691}}},   // mirrored: negative Divider
  };
  for (const auto& touched : touched_sets) {
    const auto fitted = FitCalibration(touched, targets);
    ASSERT_TRUE(fitted);
    EXPECT_EQ(*fitted, ComputeCalibrationMatrix(touched, targets));
  }
}

TEST(AffineFit, ThreePointsOnALargeScreenStayCorrectWhereThirtyTwoBitsWrap) {
  // A 3840 x 2160 screen reporting touches 500 px left and 400 px up: the three-point Cn is
  // about 500 x Divider, more than 32 bits hold.
  const auto targets = MatrixTargets({0, 0, 3840, 2160});
  std::array<ClientPoint, 3> touched{};
  for (int i = 0; i < 3; ++i)
    touched[i] = {targets[i].x - 500, targets[i].y - 400};
  const auto fitted = FitCalibration(touched, targets);
  ASSERT_TRUE(fitted);
  EXPECT_NE(*fitted, ComputeCalibrationMatrix(touched, targets));
  for (int i = 0; i < 3; ++i) {
    const RealPoint at = MapWithMatrix(*fitted, touched[i]);
    EXPECT_NEAR(at.x, targets[i].x, 0.01);
    EXPECT_NEAR(at.y, targets[i].y, 0.01);
  }
}

TEST(AffineFit, RandomDistortionsWithNoiseFitWithinTheNoise) {
  std::mt19937 random(25);
  std::uniform_real_distribution<double> scale(0.9, 1.1), shear(-0.1, 0.1), offset(-120, 120);
  const std::vector<ClientPoint> targets{{192, 108},  {960, 540}, {1728, 108},
                                         {1728, 972}, {192, 972}, {960, 108},
                                         {1728, 540}, {960, 972}, {192, 540}};
  for (const double noise : {0.0, 1.0, 3.0}) {
    std::uniform_real_distribution<double> jitter(-noise, noise);
    for (int run = 0; run < 200; ++run) {
      // The screen reports a finger at target t at L·t + o (plus noise).
      const AffineMap screen{scale(random), shear(random), offset(random),
                             shear(random), scale(random), offset(random)};
      std::vector<ClientPoint> touched;
      for (const ClientPoint t : targets) {
        const RealPoint at = Apply(screen, {double(t.x), double(t.y)});
        touched.push_back({static_cast<std::int32_t>(std::lround(at.x + jitter(random))),
                           static_cast<std::int32_t>(std::lround(at.y + jitter(random)))});
      }
      const auto matrix = FitCalibration(touched, targets);
      ASSERT_TRUE(matrix);
      // Rounding the touches to pixels adds half a pixel per axis to the noise.
      const double bound = noise + 0.75;
      EXPECT_LE(FitResidual(*matrix, touched, targets, {1, 1, true}).px, 2 * bound);
      // Between the points the fit follows the true screen within the noise.
      const AffineMap inverse = *FitAffine(touched, targets);
      for (const RealPoint probe : {RealPoint{1344, 810}, RealPoint{400, 300}}) {
        const RealPoint seen = Apply(screen, probe);
        const RealPoint back = Apply(inverse, seen);
        EXPECT_LE(std::hypot(back.x - probe.x, back.y - probe.y), bound) << noise;
      }
    }
  }
}

TEST(AffineFit, IntegerFormUsesTheLargestDividerThatKeepsAllSevenIn32Bits) {
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  const AffineMap maps[] = {
      {1, 0, 0, 0, 1, 0},
      {1.08, -0.07, -5000.3, 0.05, 0.93, 812.6},
      {0.9, 0.1, 12.5, -0.1, 1.1, -3.25},
      {3e-4, 0, 2, 0, 2e-4, 1},
  };
  for (const AffineMap& map : maps) {
    const CalibrationMatrix m = IntegerForm(map);
    const double coefficients[6] = {map.a, map.b, map.c, map.d, map.e, map.f};
    double largest = 1;
    for (const double c : coefficients)
      largest = std::max(largest, std::fabs(c));
    EXPECT_GT(m.Divider, 0);
    EXPECT_LE(largest * m.Divider, kMax);
    EXPECT_GT(largest * (m.Divider + 1.0), kMax);  // one more would leave the range
    const std::int32_t stored[6] = {m.An, m.Bn, m.Cn, m.Dn, m.En, m.Fn};
    for (int i = 0; i < 6; ++i) {
      EXPECT_NEAR(static_cast<double>(stored[i]) / m.Divider, coefficients[i], 0.5 / m.Divider);
    }
  }
}

TEST(AffineFit, DegenerateSetsFitNothing) {
  const std::vector<ClientPoint> targets{{100, 100}, {900, 100}, {100, 700}, {500, 400}};
  const std::vector<std::vector<ClientPoint>> degenerate{
      {{10, 10}, {20, 20}, {40, 40}, {80, 80}},          // collinear
      {{300, 300}, {300, 300}, {300, 300}, {300, 300}},  // coincident
      {{0, 5}, {500, 5}, {900, 6}, {200, 5}},            // within a pixel of a line
  };
  for (const auto& touched : degenerate) {
    EXPECT_FALSE(FitCalibration(touched, targets));
  }
  // Touches a billion pixels out: the offset needs more than 32 bits, and the exact three-point
  // arithmetic would overflow 64.
  const std::vector<ClientPoint> far{
      {1000000000, 1000000000}, {1000000004, 1000000000}, {1000000000, 1000000004}};
  EXPECT_FALSE(FitCalibration(far, std::span(targets).first(3)));
  EXPECT_FALSE(FitCalibration(std::span(targets).first(2), std::span(targets).first(2)));
  EXPECT_FALSE(FitCalibration(targets, std::span(targets).first(3)));
}

TEST(AffineFit, ErrorsInMillimetresFromThePhysicalSizeOrAssumedDiagonal) {
  struct Case {
    std::int32_t w, h;
    double w_mm, h_mm;
    double dx, dy;
    double mm;
  };
  const Case cases[] = {
      {1920, 1080, 480, 270, 4, 0, 1.0},  // 0.25 mm per pixel
      {1920, 1080, 480, 270, 0, 8, 2.0},
      {1024, 768, 0, 0, 1280, 0, 381.0},      // unknown: the diagonal counts as 381 mm
      {1024, 768, 0, 0, 0, 12.8 * 3, 11.43},  // 3 % of the diagonal's 1280 px
  };
  for (const Case& c : cases) {
    const MillimetreScale scale = ScaleFor(c.w, c.h, c.w_mm, c.h_mm);
    EXPECT_EQ(scale.measured, c.w_mm > 0);
    EXPECT_NEAR(DistanceMm(scale, c.dx, c.dy), c.mm, 1e-9);
  }
  EXPECT_EQ((ScreenError{3, 1.2344}).micrometres(), 1234);
  EXPECT_EQ((ScreenError{3, 1e9}).micrometres(), std::numeric_limits<std::int32_t>::max());
  // The check error of a matrix that is off by 4 px in x on a 0.25 mm pixel pitch.
  CalibrationMatrix shifted;
  shifted.Cn = 4;
  const ScreenError e = PointError(shifted, {100, 100}, {100, 100}, ScaleFor(1920, 1080, 480, 270));
  EXPECT_NEAR(e.px, 4, 1e-6);
  EXPECT_EQ(e.micrometres(), 1000);
}

}  // namespace
}  // namespace zorvik::testing
