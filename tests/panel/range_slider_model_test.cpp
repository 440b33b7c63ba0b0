// The range slider's arithmetic: normalisation, geometry, dragging and arrow-key steps.
#include "panel/range_slider_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace zorvik::panel {
namespace {

using Part = RangeSliderModel::Part;
using Arrow = RangeSliderModel::Arrow;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void ExpectRange(const RangeSliderModel& model, double left, double right) {
  const RangeSliderModel::Range range = model.GetRange();
  EXPECT_DOUBLE_EQ(range.left, left);
  EXPECT_DOUBLE_EQ(range.right, right);
}

void ExpectInvariant(const RangeSliderModel& model) {
  EXPECT_LE(model.Min(), model.Left());
  EXPECT_LE(model.Left(), model.Right());
  EXPECT_LE(model.Right(), model.Max());
}

// A 220 x 20 client: arrows of 15 pixels and a 190-pixel track, one unit per pixel.
RangeSliderModel PixelSlider(double left, double right) {
  RangeSliderModel model;
  model.Layout(220, 20);
  model.SetMinMax(0, 190);
  model.SetRange(left, right);
  return model;
}

TEST(RangeSliderModel, NormalisesEveryRangeIntoTheInterval) {
  RangeSliderModel model;
  ExpectRange(model, 0, 1);
  EXPECT_FALSE(model.SetMinMax(1000, 0));  // either order
  EXPECT_DOUBLE_EQ(model.Max(), 1000);

  EXPECT_TRUE(model.SetRange(1200, 800));  // the one correction the parent hears of
  ExpectRange(model, 1000, 1000);
  EXPECT_FALSE(model.SetRange(-50, 800));
  ExpectRange(model, 0, 800);
  EXPECT_FALSE(model.SetRange(500, 2000));
  ExpectRange(model, 500, 1000);
  EXPECT_TRUE(model.SetRange(1500, 2000));
  ExpectRange(model, 1000, 1000);
  EXPECT_FALSE(model.SetRange(-80, -20));
  ExpectRange(model, 0, 0);
  EXPECT_FALSE(model.SetRange(800, 200));  // crossed inside: the right end follows the left
  ExpectRange(model, 800, 800);

  model.SetRange(200, 900);
  EXPECT_FALSE(model.SetMinMax(0, 500));
  ExpectRange(model, 200, 500);
  model.SetRange(300, 400);
  EXPECT_TRUE(model.SetMinMax(0, 100));
  ExpectRange(model, 100, 100);
}

TEST(RangeSliderModel, RefusesNaNAndUnboundedIntervals) {
  RangeSliderModel model;
  model.SetMinMax(0, 1000);
  model.SetRange(100, 200);
  EXPECT_FALSE(model.SetRange(kNaN, 300));
  EXPECT_FALSE(model.SetRange(300, kNaN));
  ExpectRange(model, 100, 200);
  EXPECT_FALSE(model.SetRange(-kInf, kInf));
  ExpectRange(model, 0, 1000);

  EXPECT_FALSE(model.SetMinMax(kNaN, 5));
  EXPECT_FALSE(model.SetMinMax(0, kInf));
  EXPECT_FALSE(model.SetMinMax(-1e308, 1e308));  // finite ends, infinite width
  EXPECT_DOUBLE_EQ(model.Min(), 0);
  EXPECT_DOUBLE_EQ(model.Max(), 1000);
}

TEST(RangeSliderModel, GeometryAndInvertedValues) {
  RangeSliderModel model;
  EXPECT_EQ(model.ArrowWidth(), 10);  // until the first layout
  model.Layout(221, 21);
  EXPECT_EQ(model.ArrowWidth(), 15);
  EXPECT_EQ(model.TrackLength(), 191);
  model.SetMinMax(0, 3);
  EXPECT_EQ(model.PixelOf(1), 64);  // 63.67 rounds to nearest
  model.SetMinMax(5, 5);            // empty interval: every value sits at the start
  EXPECT_EQ(model.PixelOf(5), 0);
  model.Layout(20, 20);  // no room for a track: no steps
  EXPECT_EQ(model.TrackLength(), 0);
  EXPECT_FALSE(model.StepKey(Arrow::kRight, false, false));

  model.SetMinMax(0, 1000);
  model.SetRange(100, 300);
  model.SetInverted(true);  // stored negated, read back unchanged
  EXPECT_DOUBLE_EQ(model.Left(), -300);
  ExpectRange(model, 100, 300);
  model.SetRange(400, 700);
  ExpectRange(model, 400, 700);
}

TEST(RangeSliderModel, PressFindsHandlesAndBar) {
  const RangeSliderModel model = PixelSlider(50, 100);
  EXPECT_EQ(model.PartAt(49), std::nullopt);
  EXPECT_EQ(model.PartAt(64), Part::kLeftHandle);  // [50, 65)
  EXPECT_EQ(model.PartAt(65), Part::kBar);
  EXPECT_EQ(model.PartAt(115), Part::kRightHandle);  // [115, 130)
  EXPECT_EQ(model.PartAt(130), std::nullopt);
  RangeSliderModel empty = PixelSlider(80, 80);  // the handles meet, no bar
  EXPECT_EQ(empty.PartAt(94), Part::kLeftHandle);
  EXPECT_EQ(empty.PartAt(95), Part::kRightHandle);
  EXPECT_FALSE(empty.BeginDrag(5));
}

TEST(RangeSliderModel, DraggingKeepsOrderBoundsAndBarWidth) {
  RangeSliderModel model = PixelSlider(50, 100);
  ASSERT_TRUE(model.BeginDrag(60));  // 3 pixels right of the left handle's centre
  EXPECT_FALSE(model.BeginDrag(60));
  EXPECT_TRUE(model.DragTo(80));
  ExpectRange(model, 70, 100);
  model.DragTo(300);  // past the right handle
  ExpectRange(model, 100, 100);
  model.DragTo(-300);
  ExpectRange(model, 0, 100);
  model.EndDrag();
  EXPECT_FALSE(model.DragTo(50));
  ASSERT_TRUE(model.BeginDrag(model.RightHandle().begin));
  model.DragTo(1000);
  ExpectRange(model, 0, 190);
  model.EndDrag();

  model.SetRange(50, 100);
  ASSERT_TRUE(model.BeginDrag(90));
  EXPECT_EQ(model.DraggedPart(), Part::kBar);
  model.DragTo(110);
  ExpectRange(model, 70, 120);
  model.DragTo(5000);
  ExpectRange(model, 140, 190);
  model.DragTo(-5000);
  ExpectRange(model, 0, 50);

  // Widths that do not add up exactly still end inside the interval.
  RangeSliderModel odd;
  odd.Layout(220, 20);
  odd.SetMinMax(0.1, 0.7);
  odd.SetRange(0.2, 0.3);
  ASSERT_TRUE(odd.BeginDrag(odd.Bar().begin));
  odd.DragTo(5000);
  EXPECT_DOUBLE_EQ(odd.Right(), 0.7);
  EXPECT_NEAR(odd.Right() - odd.Left(), 0.1, 1e-12);
  ExpectInvariant(odd);
}

TEST(RangeSliderModel, ArrowKeysStepOnePixel) {
  RangeSliderModel model = PixelSlider(50, 100);
  EXPECT_TRUE(model.StepKey(Arrow::kRight, false, false));
  ExpectRange(model, 51, 101);
  EXPECT_TRUE(model.StepKey(Arrow::kRight, true, false));  // Shift: right end only
  ExpectRange(model, 51, 102);
  EXPECT_TRUE(model.StepKey(Arrow::kLeft, true, false));
  ExpectRange(model, 51, 101);
  EXPECT_TRUE(model.StepKey(Arrow::kLeft, false, false));
  ExpectRange(model, 50, 100);
  EXPECT_FALSE(model.StepKey(Arrow::kRight, false, true));  // Ctrl: nothing
  ExpectRange(model, 50, 100);

  RangeSliderModel at_end = PixelSlider(150, 190);
  EXPECT_TRUE(at_end.StepKey(Arrow::kRight, false, false));  // refused, still reported
  ExpectRange(at_end, 150, 190);
  RangeSliderModel at_start = PixelSlider(0, 20);
  EXPECT_TRUE(at_start.StepKey(Arrow::kLeft, false, false));
  ExpectRange(at_start, 0, 20);
  RangeSliderModel empty = PixelSlider(40, 40);
  EXPECT_TRUE(empty.StepKey(Arrow::kLeft, true, false));
  ExpectRange(empty, 40, 40);

  RangeSliderModel flat = PixelSlider(0, 0);
  flat.SetMinMax(7, 7);  // no step at all
  EXPECT_FALSE(flat.StepKey(Arrow::kRight, false, false));
}

// Whatever sequence of calls, values and pointer positions: the invariant holds.
TEST(RangeSliderModel, InvariantHoldsUnderRandomOperations) {
  std::mt19937 random(20240611);
  std::uniform_real_distribution<double> value(-2000, 2000);
  std::uniform_int_distribution<int> pixel(-400, 800);
  std::uniform_int_distribution<int> operation(0, 7);
  RangeSliderModel model;
  model.Layout(300, 24);
  for (int i = 0; i < 20000; ++i) {
    switch (operation(random)) {
      case 0:
        model.SetMinMax(value(random), value(random));
        break;
      case 1:
        model.SetRange(value(random), value(random));
        break;
      case 2:
        model.BeginDrag(pixel(random));
        break;
      case 3:
      case 4:
        model.DragTo(pixel(random));
        break;
      case 5:
        model.EndDrag();
        break;
      case 6:
        model.StepKey(i % 2 == 0 ? Arrow::kLeft : Arrow::kRight, i % 3 == 0, false);
        break;
      case 7:
        model.SetInverted(i % 5 == 0);
        break;
    }
    ExpectInvariant(model);
    if (HasFailure()) {
      ADD_FAILURE() << "after operation " << i;
      return;
    }
  }
}

}  // namespace
}  // namespace zorvik::panel
