// The range slider's values and geometry. Every operation ends with min <= left <= right <= max.
#include "panel/range_slider_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "common/saturating_cast.h"

namespace zorvik::panel {
namespace {

int ClampToInt(long long value) {
  return static_cast<int>(std::clamp<long long>(value, 0, std::numeric_limits<int>::max()));
}

}  // namespace

bool RangeSliderModel::SetMinMax(double a, double b) {
  if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(b - a)) return false;
  if (inverted_) {
    a = -a;
    b = -b;
  }
  min_ = std::min(a, b);
  max_ = std::max(a, b);
  return Normalise();
}

bool RangeSliderModel::SetRange(double left, double right) {
  if (std::isnan(left) || std::isnan(right)) return false;
  if (inverted_) {
    left_ = -right;
    right_ = -left;
  } else {
    left_ = left;
    right_ = right;
  }
  return Normalise();
}

RangeSliderModel::Range RangeSliderModel::GetRange() const {
  if (inverted_) return {-right_, -left_};
  return {left_, right_};
}

void RangeSliderModel::SetInverted(bool inverted) {
  if (inverted == inverted_) return;
  min_ = -std::exchange(max_, -min_);
  left_ = -std::exchange(right_, -left_);
  inverted_ = inverted;
}

// A left end above the interval collapses the range onto max; that is the one correction the
// parent is told about (raising ends to min, or a right end to the left one, is silent).
bool RangeSliderModel::Normalise() {
  const bool collapsed_onto_max = left_ > max_;
  Clamp();
  return collapsed_onto_max;
}

// The right end follows the left one when they cross, as when the left end is raised to min.
void RangeSliderModel::Clamp() {
  left_ = std::clamp(left_, min_, max_);
  right_ = std::clamp(right_, left_, max_);
}

void RangeSliderModel::Layout(int client_width, int client_height) {
  arrow_width_ = ClampToInt(static_cast<long long>(client_height) * 3 / 4);
  track_length_ = ClampToInt(static_cast<long long>(client_width) - 2LL * arrow_width_);
}

int RangeSliderModel::PixelOf(double value) const {
  const double width = max_ - min_;
  if (!(width > 0.0) || track_length_ <= 0) return 0;
  return TruncSaturate<int>(track_length_ * ((value - min_) / width) + 0.5);
}

// The left arrow ends where the track position of left begins; the right arrow starts one arrow
// width further on, so neither overlaps the other even when left == right.
RangeSliderModel::Span RangeSliderModel::LeftHandle() const {
  const int at = PixelOf(left_);
  return {at, at + arrow_width_};
}

RangeSliderModel::Span RangeSliderModel::RightHandle() const {
  const int at = arrow_width_ + PixelOf(right_);
  return {at, at + arrow_width_};
}

RangeSliderModel::Span RangeSliderModel::Bar() const {
  return {LeftHandle().end, RightHandle().begin};
}

std::optional<RangeSliderModel::Part> RangeSliderModel::PartAt(int x) const {
  const auto inside = [x](Span span) { return x >= span.begin && x < span.end; };
  if (inside(LeftHandle())) return Part::kLeftHandle;
  if (inside(RightHandle())) return Part::kRightHandle;
  if (inside(Bar())) return Part::kBar;
  return std::nullopt;
}

int RangeSliderModel::CentreOf(Part part) const {
  switch (part) {
    case Part::kLeftHandle:
      return LeftHandle().begin + arrow_width_ / 2;
    case Part::kRightHandle:
      return RightHandle().begin + arrow_width_ / 2;
    case Part::kBar:
      return arrow_width_ + (PixelOf(left_) + PixelOf(right_)) / 2;
  }
  return 0;
}

bool RangeSliderModel::BeginDrag(int x) {
  if (tracking_) return false;
  const std::optional<Part> part = PartAt(x);
  if (!part) return false;
  tracking_ = true;
  part_ = *part;
  press_offset_ = x - CentreOf(part_);
  return true;
}

bool RangeSliderModel::DragTo(int x) {
  if (!tracking_ || track_length_ <= 0) return false;
  const double scale = (max_ - min_) / track_length_;
  // Where the grabbed part's centre goes, so the handle does not jump under the pointer.
  const double at = static_cast<double>(x) - press_offset_;
  switch (part_) {
    case Part::kLeftHandle:
      left_ = std::max(std::min(min_ + (at - arrow_width_ / 2) * scale, right_), min_);
      break;
    case Part::kRightHandle:
      right_ = std::min(std::max(min_ + (at - arrow_width_ * 3 / 2) * scale, left_), max_);
      break;
    case Part::kBar: {
      const double width = right_ - left_;
      const double centre = min_ + (at - arrow_width_) * scale;
      left_ = centre - width / 2;
      right_ = centre + width / 2;
      if (left_ <= min_) {
        left_ = min_;
        right_ = min_ + width;
      } else if (right_ >= max_) {
        right_ = max_;
        left_ = max_ - width;
      }
      break;
    }
  }
  Clamp();  // min + width may round past max
  return true;
}

bool RangeSliderModel::StepKey(Arrow arrow, bool shift, bool ctrl) {
  if (ctrl || track_length_ <= 0) return false;
  const double step = (max_ - min_) / track_length_;
  if (!(step > 0.0)) return false;
  const int left_at = TruncSaturate<int>((left_ - min_) / step + 0.5);
  const int right_at = TruncSaturate<int>((right_ - min_) / step + 0.5);
  const int delta = arrow == Arrow::kRight ? 1 : -1;
  const int new_right = right_at + delta;
  const int new_left = shift ? left_at : left_at + delta;
  // Shift+Left on an empty range would put the right end before the left one.
  if (new_left >= 0 && new_right <= track_length_ && new_left <= new_right) {
    left_ = min_ + new_left * step;
    right_ = min_ + new_right * step;
    Clamp();
  }
  return true;
}

}  // namespace zorvik::panel
