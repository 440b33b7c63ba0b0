// The arithmetic of the two-handle range slider: the values, their normalisation, the pixel
// geometry of the track and handles, dragging and arrow-key steps. The window only translates
// messages; every operation here says whether the parent must hear of a range change.
#pragma once

#include <optional>

namespace zorvik::panel {

class RangeSliderModel {
 public:
  // The three parts a press can grab.
  enum class Part { kLeftHandle = 0, kRightHandle = 1, kBar = 2 };
  enum class Arrow { kLeft, kRight };

  struct Range {
    double left = 0.0;
    double right = 1.0;
  };
  // A horizontal pixel span [begin, end) in client coordinates.
  struct Span {
    int begin = 0;
    int end = 0;
  };

  // The bounds are taken in either order. Arguments that are not finite, or whose distance is
  // not, are refused and change nothing (returns false).
  bool SetMinMax(double a, double b);
  // A NaN argument is refused and changes nothing; infinities are clamped like any other value.
  bool SetRange(double left, double right);
  // With the inverted flag, the caller's values are stored negated, so these round-trip.
  Range GetRange() const;

  // Re-expresses the stored values so that GetRange is unchanged; only the drawing mirrors.
  void SetInverted(bool inverted);
  bool Inverted() const { return inverted_; }

  // The stored values, as drawn.
  double Min() const { return min_; }
  double Max() const { return max_; }
  double Left() const { return left_; }
  double Right() const { return right_; }

  // Arrow width is three quarters of the client height, the track what the two arrows leave.
  void Layout(int client_width, int client_height);
  int ArrowWidth() const { return arrow_width_; }
  int TrackLength() const { return track_length_; }

  // A value's pixel offset along the track (0 when the interval is empty).
  int PixelOf(double value) const;
  Span LeftHandle() const;
  Span RightHandle() const;
  Span Bar() const;
  std::optional<Part> PartAt(int x) const;

  // Starts dragging the part under x (false: nothing there, or already dragging).
  bool BeginDrag(int x);
  // Moves the dragged part so that its centre follows x. True: tell the parent.
  bool DragTo(int x);
  void EndDrag() { tracking_ = false; }
  bool Tracking() const { return tracking_; }
  Part DraggedPart() const { return part_; }

  // One pixel's worth: the whole range, or with Shift only its right end. Ctrl does nothing.
  // True: tell the parent (also when the move was refused at an end of the track).
  bool StepKey(Arrow arrow, bool shift, bool ctrl);

 private:
  bool Normalise();
  void Clamp();
  int CentreOf(Part part) const;

  double min_ = 0.0;
  double max_ = 1.0;
  double left_ = 0.0;
  double right_ = 1.0;
  bool inverted_ = false;

  int arrow_width_ = 10;
  int track_length_ = 0;

  bool tracking_ = false;
  Part part_ = Part::kLeftHandle;
  int press_offset_ = 0;
};

}  // namespace zorvik::panel
